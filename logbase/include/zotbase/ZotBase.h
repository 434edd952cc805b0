#pragma once
// The public header of libzotbase: the only one the application includes.
#include <zotbase/ZotConsoleLogWriter.h>
#include <zotbase/ZotDbgLogWriter.h>
#include <zotbase/ZotFileLogWriter.h>
#include <zotbase/ZotLogManager.h>
#include <zotbase/ZotLogWriterI.h>
#include <zotbase/ZotLogger.h>
