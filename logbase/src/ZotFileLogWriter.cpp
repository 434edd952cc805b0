#include <zotbase/ZotFileLogWriter.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr uint32_t kMaxChunk = 4096;
constexpr uint32_t kMaxMapSize = 0x800000;
constexpr uint32_t kDefaultMapSize = 0x200000;
constexpr uint32_t kSpinSleepUs = 80;

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Reads the archive key of `middle` (the text between the base name and the
// extension): the seconds since 1970, and the sequence number that follows an
// underscore when several archives were made within one second.
bool ParseArchiveKey(const std::string& middle, long long& seconds, long long& sequence) {
    const char* text = middle.c_str();
    char* end = nullptr;
    errno = 0;
    seconds = std::strtoll(text, &end, 10);
    if (end == text || errno != 0)
        return false;
    sequence = 0;
    if (*end == '_') {
        char* seqEnd = nullptr;
        long long value = std::strtoll(end + 1, &seqEnd, 10);
        if (seqEnd != end + 1)
            sequence = value;
    }
    return true;
}
} // namespace

ZotFileLogWriter::ZotFileLogWriter() = default;

ZotFileLogWriter::~ZotFileLogWriter() {
    Close();
}

void ZotFileLogWriter::Close() {
    if (!mBase)
        return;
    uint8_t* base = mBase;
    mBase = nullptr;
    munlock(base, mSize);
    munmap(base, mSize);
    mPosition.store(0);
    mUsers.store(0);
}

bool ZotFileLogWriter::Init(uint64_t maxSize, const char* folder, const char* name, const char* extension,
                            uint64_t maxFiles) {
    if (mBase)
        return true;
    mMaxFiles = maxFiles ? uint32_t(maxFiles) : 10;
    if (maxSize == 0)
        mSize = kDefaultMapSize;
    else if (maxSize > kMaxMapSize)
        mSize = kMaxMapSize;
    else
        mSize = uint32_t((maxSize + 4095) / 4096 * 4096);
    return OpenLog(folder, name, extension);
}

bool ZotFileLogWriter::OpenLog(const char* folder, const char* name, const char* extension) {
    mFolder = folder ? folder : "";
    mName = name ? name : "";
    mExtension = extension ? extension : "";
    if (mFolder.empty()) {
        char cwd[4096];
        if (!getcwd(cwd, sizeof(cwd)))
            return false;
        mFolder = cwd;
    }
    if (mFolder.back() != '/')
        mFolder += '/';
    if (!mExtension.empty() && mExtension.front() != '.')
        mExtension.insert(mExtension.begin(), '.');

    std::string path = mFolder + mName + mExtension;
    uint8_t* mapping = OpenMap(path.c_str());
    if (!mapping)
        return false;

    uint32_t position = SeekLog(mapping);
    if (position >= mSize) {
        // The live file is full: archive it and start an empty one.
        try {
            RotateLog(mapping, mSize);
        } catch (...) {
            munlock(mapping, mSize);
            munmap(mapping, mSize);
            return false;
        }
        std::memset(mapping, 0, mSize);
        position = 0;
    } else if (position != 0 && position < mSize - 1) {
        mapping[position++] = '\n';
    }
    mPosition.store(position);
    mUsers.store(0);
    mBase = mapping;
    return true;
}

uint8_t* ZotFileLogWriter::OpenMap(const char* path) {
    int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, off_t(mSize)) != 0) {
        ::close(fd);
        return nullptr;
    }
    void* mapping = mmap(nullptr, mSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (mapping == MAP_FAILED)
        return nullptr;
    // Keeping the pages resident is best effort: a low memory-lock limit
    // must not cost the log.
    mlock(mapping, mSize);
    return static_cast<uint8_t*>(mapping);
}

uint32_t ZotFileLogWriter::SeekLog(const uint8_t* mapping) const {
    for (uint32_t offset = 0; offset + 4 <= mSize; offset += 4) {
        uint32_t word;
        std::memcpy(&word, mapping + offset, 4);
        if (word == 0)
            return offset;
    }
    return mSize;
}

bool ZotFileLogWriter::RotateLog(const uint8_t* data, uint32_t size) {
    // An archive never replaces another: a second archive within the same
    // second gets "_1", "_2", ... after the seconds. The number continues
    // after the highest one present, never refilling a purged name, so that
    // names keep sorting (and purging) by age.
    long long now = static_cast<long long>(time(nullptr));
    std::string stamp = std::to_string(now);
    long long first = 0;
    std::vector<std::string> names;
    EnumLogs(names);
    for (const std::string& file : names) {
        if (file.size() < mName.size() + mExtension.size())
            continue;
        long long seconds, sequence;
        if (ParseArchiveKey(file.substr(mName.size(), file.size() - mName.size() - mExtension.size()),
                            seconds, sequence) &&
            seconds == now && sequence >= first)
            first = sequence + 1;
    }
    int fd = -1;
    for (long long sequence = first; sequence < first + 10000 && fd < 0; ++sequence) {
        std::string middle = sequence == 0 ? stamp : stamp + "_" + std::to_string(sequence);
        std::string path = mFolder + mName + middle + mExtension;
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, data, size);
    if (::close(fd) != 0)
        ok = false;
    PurgeLogs();
    return ok;
}

void ZotFileLogWriter::EnumLogs(std::vector<std::string>& names) const {
    DIR* dir = opendir(mFolder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string file = entry->d_name;
        if (file.compare(0, mName.size(), mName) != 0)
            continue;
        if (!mExtension.empty()) {
            if (file.size() <= mExtension.size() ||
                file.compare(file.size() - mExtension.size(), mExtension.size(), mExtension) != 0)
                continue;
        }
        names.push_back(file);
    }
    closedir(dir);
}

bool ZotFileLogWriter::FindOldestLog(const std::vector<std::string>& names, std::string& oldest) const {
    bool found = false;
    long long bestSeconds = 0, bestSequence = 0;
    for (const std::string& file : names) {
        if (file.size() < mName.size() + mExtension.size())
            continue;
        std::string middle = file.substr(mName.size(), file.size() - mName.size() - mExtension.size());
        long long seconds, sequence;
        if (!ParseArchiveKey(middle, seconds, sequence))
            continue;
        if (!found || seconds < bestSeconds || (seconds == bestSeconds && sequence < bestSequence)) {
            found = true;
            bestSeconds = seconds;
            bestSequence = sequence;
            oldest = file;
        }
    }
    return found;
}

bool ZotFileLogWriter::PurgeLogs() {
    std::vector<std::string> names;
    EnumLogs(names);
    if (names.size() <= mMaxFiles)
        return false;
    std::string oldest;
    if (!FindOldestLog(names, oldest))
        return false;
    return ::unlink((mFolder + oldest).c_str()) == 0;
}

void ZotFileLogWriter::SleepUs(uint32_t microseconds) {
    if (microseconds)
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

bool ZotFileLogWriter::OnWriteMax(uint32_t expected, const void* data, uint32_t length, bool& retry) {
    mUsers.fetch_add(1);
    if (!mPosition.compare_exchange_strong(expected, length | kRotating)) {
        mUsers.fetch_sub(1);
        retry = true;
        return false;
    }
    while (mUsers.load() >= 2)
        SleepUs(kSpinSleepUs);
    if (RotateLog(mBase, mSize))
        std::memset(mBase, 0, mSize);
    mPosition.store(length);
    std::memcpy(mBase, data, length);
    mUsers.fetch_sub(1);
    retry = false;
    return true;
}

bool ZotFileLogWriter::Write(const void* data, uint64_t length) {
    uint8_t* base = mBase;
    if (length == 0 || !base)
        return false;
    uint32_t n = length > kMaxChunk ? kMaxChunk : uint32_t(length);
    uint32_t start;
    for (;;) {
        uint32_t position = mPosition.load();
        if (position & kRotating) {
            SleepUs(kSpinSleepUs);
            continue;
        }
        mUsers.fetch_add(1);
        if (position + n < mSize) {
            if (mPosition.compare_exchange_weak(position, position + n)) {
                start = position;
                break;
            }
        } else if (mPosition.compare_exchange_strong(position, n | kRotating)) {
            while (mUsers.load() >= 2)
                SleepUs(kSpinSleepUs);
            bool rotated = false;
            try {
                rotated = RotateLog(base, mSize);
            } catch (...) {
            }
            if (rotated)
                std::memset(base, 0, mSize);
            mPosition.store(n);
            start = 0;
            break;
        }
        mUsers.fetch_sub(1);
    }
    std::memcpy(base + start, data, n);
    mUsers.fetch_sub(1);
    return true;
}

bool ZotFileLogWriter::Flush() {
    return true;
}
