#include <zotbase/ZotConsoleLogWriter.h>

bool ZotConsoleLogWriter::Init(uint64_t, const char*, const char*, const char*, uint64_t) {
    return true;
}

bool ZotConsoleLogWriter::Write(const void* data, uint64_t length) {
    size_t written = std::fwrite(data, 1, size_t(length), mStream);
    if (written < length)
        return false;
    return mFlushAfterWrite ? Flush() : true;
}

bool ZotConsoleLogWriter::Flush() {
    return std::fflush(mStream) == 0;
}
