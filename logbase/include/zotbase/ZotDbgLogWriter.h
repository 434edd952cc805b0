#pragma once
#include <zotbase/ZotExport.h>
#include <zotbase/ZotLogWriterI.h>

// The debug channel; on this platform it is standard output.
class ZOT_API ZotDbgLogWriter : public ZotLogWriterI {
public:
    bool Init(uint64_t maxSize, const char* folder, const char* name, const char* extension,
              uint64_t maxFiles) override;
    bool Write(const void* data, uint64_t length) override;
    bool Flush() override;
};
