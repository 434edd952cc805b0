#pragma once
#include <zotbase/ZotExport.h>
#include <zotbase/ZotLogWriterI.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Rotating log file written through a shared memory mapping. Any number of
// threads write at once: each reserves a byte range with a compare-and-swap on
// the position; the thread that reaches the end archives the mapping
// (bit 31 of the position marks the rotation) once it is the only user.
class ZOT_API ZotFileLogWriter : public ZotLogWriterI {
public:
    static constexpr uint32_t kRotating = 0x80000000u;

    ZotFileLogWriter();
    ~ZotFileLogWriter() override;

    bool Init(uint64_t maxSize, const char* folder, const char* name, const char* extension,
              uint64_t maxFiles) override;
    bool Write(const void* data, uint64_t length) override;
    bool Flush() override;

    bool OpenLog(const char* folder, const char* name, const char* extension);
    uint8_t* OpenMap(const char* path);
    uint32_t SeekLog(const uint8_t* mapping) const;
    bool RotateLog(const uint8_t* data, uint32_t size);
    bool PurgeLogs();
    void EnumLogs(std::vector<std::string>& names) const;
    bool FindOldestLog(const std::vector<std::string>& names, std::string& oldest) const;
    bool OnWriteMax(uint32_t expected, const void* data, uint32_t length, bool& retry);
    static void SleepUs(uint32_t microseconds);

    // Closes the mapping (tests reopen files this way).
    void Close();
    bool IsOpen() const { return mBase != nullptr; }
    uint32_t GetSize() const { return mSize; }
    const std::string& GetFolder() const { return mFolder; }

private:
    std::string mFolder;
    std::string mName;
    std::string mExtension;
    uint32_t mMaxFiles = 10;
    uint32_t mSize = 0x200000;
    uint8_t* mBase = nullptr;
    std::atomic<uint32_t> mPosition{0};
    std::atomic<uint32_t> mUsers{0};
};
