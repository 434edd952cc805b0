#include <zotbase/ZotDbgLogWriter.h>

#include <cstdio>

bool ZotDbgLogWriter::Init(uint64_t, const char*, const char*, const char*, uint64_t) {
    return true;
}

bool ZotDbgLogWriter::Write(const void* data, uint64_t length) {
    size_t written = std::fwrite(data, 1, size_t(length), stdout);
    std::fflush(stdout);
    return written == length;
}

bool ZotDbgLogWriter::Flush() {
    return true;
}
