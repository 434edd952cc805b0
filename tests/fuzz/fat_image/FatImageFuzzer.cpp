// Mutated disk images through the FAT engine: mount, walk every folder, read
// every file, then create, write, delete and relabel. The image is untrusted
// input (the target writes it): nothing may crash, hang or touch a sector
// outside the device.
//
// Input: records of a u32 sector number (little-endian) followed by the
// sector's 512 bytes; every other sector of the 70,000-sector device reads as
// zeros. This keeps seeds of FAT32 volumes a few kilobytes small.
#include "vdisk/fatfs/ZotFatFs.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSectors = 70000;

struct Sector {
    uint8_t data[512];
};
std::map<uint32_t, Sector> g_disk;

uint8_t Initialize(uint8_t) {
    return 0;
}
uint8_t Status(uint8_t) {
    return 0;
}

DRESULT Read(uint8_t, uint8_t* buffer, uint32_t sector, uint32_t count) {
    if (uint64_t(sector) + count > kSectors)
        return RES_ERROR;
    for (uint32_t i = 0; i < count; ++i) {
        auto it = g_disk.find(sector + i);
        if (it == g_disk.end())
            std::memset(buffer + i * 512, 0, 512);
        else
            std::memcpy(buffer + i * 512, it->second.data, 512);
    }
    return RES_OK;
}

DRESULT Write(uint8_t, const uint8_t* data, uint32_t sector, uint32_t count) {
    if (uint64_t(sector) + count > kSectors)
        return RES_ERROR; // beyond the device: refused (and never reached by a sound engine path)
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(g_disk[sector + i].data, data + i * 512, 512);
    return RES_OK;
}

DRESULT Ioctl(uint8_t, uint8_t code, void* buffer) {
    switch (code) {
    case CTRL_SYNC:
        return RES_OK;
    case GET_SECTOR_COUNT: {
        uint32_t n = kSectors;
        std::memcpy(buffer, &n, 4);
        return RES_OK;
    }
    case GET_SECTOR_SIZE: {
        uint16_t n = 512;
        std::memcpy(buffer, &n, 2);
        return RES_OK;
    }
    case GET_BLOCK_SIZE: {
        uint32_t n = 1;
        std::memcpy(buffer, &n, 4);
        return RES_OK;
    }
    default:
        return RES_PARERR;
    }
}

const FatMedia kMedia = {Initialize, Status, Read, Write, Ioctl, nullptr};

int g_budget; // entries visited; bounds the walk on huge looping trees

void Walk(const std::string& path, int depth, std::vector<std::string>& files) {
    FF_DIR d;
    if (f_opendir(&d, path.c_str()) != FR_OK)
        return;
    FILINFO fi;
    std::vector<std::string> dirs;
    while (--g_budget > 0 && f_readdir(&d, &fi) == FR_OK && fi.fname[0]) {
        std::string name = fi.fname;
        if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
            std::abort(); // the engine must never hand out such a name
        std::string child = path + (path == "/" ? "" : "/") + name;
        if (fi.fattrib & AM_DIR) {
            if (depth < 3)
                dirs.push_back(child);
        } else if (files.size() < 16) {
            files.push_back(child);
        }
    }
    f_closedir(&d);
    for (const auto& dir : dirs)
        Walk(dir, depth + 1, files);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    g_disk.clear();
    for (size_t at = 0; at + 4 + 512 <= size && g_disk.size() < 4096; at += 4 + 512) {
        uint32_t sector;
        std::memcpy(&sector, data + at, 4);
        std::memcpy(g_disk[sector % kSectors].data, data + at + 4, 512);
    }
    f_setmedia(&kMedia);
    FATFS fs;
    if (f_mount(&fs, "/", 1) == FR_OK) {
        char label[40];
        uint32_t vsn, nclst;
        FATFS* vol;
        f_getlabel("/", label, &vsn);
        f_getfree("/", &nclst, &vol);

        g_budget = 4000;
        std::vector<std::string> files;
        Walk("/", 0, files);
        static uint8_t buf[65536];
        for (const auto& path : files) {
            FIL f;
            if (f_open(&f, path.c_str(), FA_READ) == FR_OK) {
                uint32_t n = 0;
                for (int i = 0; i < 4 && f_read(&f, buf, sizeof buf, &n) == FR_OK && n > 0; ++i) {
                }
                f_close(&f);
            }
        }

        FIL f;
        if (f_open(&f, "/Fuzz written file with a long name.txt", FA_WRITE | FA_CREATE_ALWAYS) == FR_OK) {
            uint32_t n;
            std::memset(buf, 'x', 3000);
            f_write(&f, buf, 3000, &n);
            f_close(&f);
        }
        f_mkdir("/new folder");
        if (f_open(&f, "/new folder/inner.bin", FA_WRITE | FA_CREATE_NEW) == FR_OK) {
            uint32_t n;
            f_write(&f, buf, 700, &n);
            f_close(&f);
        }
        if (!files.empty())
            f_unlink(files.front().c_str());
        f_unlink("/new folder/inner.bin");
        f_unlink("/new folder");
        f_setlabel("FUZZ");
    }
    f_mount(nullptr, "/", 0);
    f_setmedia(nullptr);
    return 0;
}
