#pragma once
#include <zotbase/ZotExport.h>

#include <cstdint>

// Where formatted log lines go.
class ZOT_API ZotLogWriterI {
public:
    virtual ~ZotLogWriterI();
    virtual bool Init(uint64_t maxSize, const char* folder, const char* name, const char* extension,
                      uint64_t maxFiles) = 0;
    virtual bool Write(const void* data, uint64_t length) = 0;
    virtual bool Flush() = 0;
};
