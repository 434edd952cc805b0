#pragma once
#include <zotbase/ZotExport.h>
#include <zotbase/ZotLogWriterI.h>

#include <cstdio>

// Writes lines to standard output, flushing after each.
class ZOT_API ZotConsoleLogWriter : public ZotLogWriterI {
public:
    bool Init(uint64_t maxSize, const char* folder, const char* name, const char* extension,
              uint64_t maxFiles) override;
    bool Write(const void* data, uint64_t length) override;
    bool Flush() override;

private:
    FILE* mStream = stdout;
    bool mFlushAfterWrite = true;
};
