#pragma once
#include "vdisk/fatfs/ZotFatFs.h"

#include <string>

// A disk-image file as the FAT engine's block device (drive 0), through
// positioned reads and writes. For the command-line tool, tests and
// benchmarks; the application has its own block device with locking.
class ZotFatFileMedia {
public:
    // Opens an existing image for reading and writing. The sector count is
    // the file size in whole sectors.
    static bool Open(const std::string& path);
    // Creates (or truncates) an image of `bytes` bytes that reads as zeros.
    static bool Create(const std::string& path, uint64_t bytes);
    static void Close();
    // Error text of the last failed Open/Create or device access.
    static const std::string& LastError();
    static const FatMedia* Media();
    static uint32_t SectorCount();
};
