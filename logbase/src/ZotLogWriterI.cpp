#include <zotbase/ZotLogWriterI.h>

ZotLogWriterI::~ZotLogWriterI() = default;
