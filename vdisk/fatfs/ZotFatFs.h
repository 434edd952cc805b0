#pragma once
// FAT12/16/32 file-system engine, written from the published FAT on-disk
// format. One volume ("/", drive 0) on 512-byte sectors, long names exchanged
// in UTF-8 (UTF-16 on disk), short names in code page 437.
//
// Layers, bottom up:
//   FatMedia            the block device: five functions plus a time source
//   ZotFatSectorCache   a small write-back cache of sectors (FAT copies mirrored)
//   ZotFatTable         FAT entries and cluster chains, free-cluster accounting
//   ZotFatName          UTF-8/UTF-16/CP437 conversion, short-name generation
//   ZotFatDirectory     directory cursor, entry sets, look-up and registration
//   ZotFatFormat        f_mkfs
//   ZotFatFs.cpp        the f_ operations below: mount, paths, files, folders
//
// Security note: the volume on the block device is untrusted input (the target
// computer writes it). Every field read from it is range-checked before use;
// cluster chains are bounded by the cluster count, directories by 65,536
// entries, and names reported to callers never contain '/', '\', control
// characters or the names "." and "..". The engine is not thread-safe: one
// thread at a time.

#include "vdisk/fatfs/ZotFatSectorCache.h"

#include <cstddef>
#include <cstdint>

// Result of every f_ operation. The numbers are stable: they appear in logs.
enum FRESULT : int {
    FR_OK = 0,           // succeeded
    FR_DISK_ERR = 1,     // the block device failed a read, write or sync (or the access was beyond its end)
    FR_INT_ERR = 2,      // the volume is inconsistent: a broken or looping cluster chain, a link out of range
    FR_NOT_READY = 3,    // the block device is not ready (not initialised, or busy past its timeout)
    FR_NO_FILE = 4,      // the file or entry does not exist
    FR_NO_PATH = 5,      // a folder on the way does not exist (or is a file)
    FR_INVALID_NAME = 6, // the path or a name in it is malformed (bad UTF-8, forbidden character, too long)
    FR_DENIED = 7, // refused: folder not empty, read-only entry, wrong object kind, folder or volume full
    FR_EXIST = 8,  // an entry with that name exists already
    FR_INVALID_OBJECT = 9,   // the file or folder object is not open, or its volume was remounted since
    FR_WRITE_PROTECTED = 10, // the block device is write-protected
    FR_INVALID_DRIVE = 11,   // the path names a volume other than "/"
    FR_NOT_ENABLED = 12,     // no volume object is registered with f_mount
    FR_NO_FILESYSTEM = 13,   // no valid FAT volume on the block device
    FR_MKFS_ABORTED = 14, // f_mkfs: the volume cannot be formatted with the requested type and cluster size
    FR_TIMEOUT = 15,      // not used by this engine (kept so that the numbering stays the usual one)
    FR_LOCKED = 16,       // not used by this engine
    FR_NOT_ENOUGH_CORE = 17,     // f_mkfs: the work buffer is smaller than one sector
    FR_TOO_MANY_OPEN_FILES = 18, // not used by this engine
    FR_INVALID_PARAMETER = 19,   // an argument is out of range (null pointer, unknown mode or format option)
};

// Short English text of a result, for messages ("no such file").
const char* f_resulttext(FRESULT result);

// ---- Block device --------------------------------------------------------

// Status bits returned by initialize and status.
constexpr uint8_t STA_NOINIT = 0x01;  // not initialised
constexpr uint8_t STA_NODISK = 0x02;  // no medium
constexpr uint8_t STA_PROTECT = 0x04; // write-protected

// Result codes of read, write and ioctl.
enum DRESULT : int { RES_OK = 0, RES_ERROR = 1, RES_WRPRT = 2, RES_NOTRDY = 3, RES_PARERR = 4 };

// ioctl codes.
constexpr uint8_t CTRL_SYNC = 0;        // flush everything written
constexpr uint8_t GET_SECTOR_COUNT = 1; // u32 sector count
constexpr uint8_t GET_SECTOR_SIZE = 2;  // u16 sector size (must be 512)
constexpr uint8_t GET_BLOCK_SIZE = 3;   // u32 erase-block size in sectors

// The five-function media interface, plus the time source for time stamps.
struct FatMedia {
    uint8_t (*initialize)(uint8_t drive);
    uint8_t (*status)(uint8_t drive);
    DRESULT (*read)(uint8_t drive, uint8_t* buffer, uint32_t sector, uint32_t count);
    DRESULT (*write)(uint8_t drive, const uint8_t* data, uint32_t sector, uint32_t count);
    DRESULT (*ioctl)(uint8_t drive, uint8_t code, void* buffer);
    // Packed FAT time stamp (bits 31-25 year-1980, 24-21 month, 20-16 day,
    // 15-11 hour, 10-5 minute, 4-0 seconds/2). Null: 1 January 2020, 00:00.
    uint32_t (*fattime)();
};

// Attaches the block device of drive 0 (the pointer is kept; null detaches).
void f_setmedia(const FatMedia* media);

// ---- Objects ---------------------------------------------------------------

constexpr uint8_t FS_FAT12 = 1;
constexpr uint8_t FS_FAT16 = 2;
constexpr uint8_t FS_FAT32 = 3;

// Entry attributes.
constexpr uint8_t AM_RDO = 0x01;
constexpr uint8_t AM_HID = 0x02;
constexpr uint8_t AM_SYS = 0x04;
constexpr uint8_t AM_VOL = 0x08;
constexpr uint8_t AM_DIR = 0x10;
constexpr uint8_t AM_ARC = 0x20;

// The volume object (owned by the caller, registered with f_mount).
struct FATFS {
    uint8_t fs_type = 0;             // 0: not mounted; FS_FAT12/16/32
    uint8_t n_fats = 0;              // number of FAT copies
    uint8_t fsi_dirty = 0;           // FSInfo needs rewriting (FAT32)
    uint16_t id = 0;                 // mount generation, checked by open objects
    uint16_t csize = 0;              // sectors per cluster
    uint16_t n_rootdir = 0;          // root entries (FAT12/16)
    uint32_t n_fatent = 0;           // clusters + 2
    uint32_t fsize = 0;              // sectors per FAT
    uint32_t volbase = 0;            // first sector of the volume
    uint32_t volsize = 0;            // sectors of the volume
    uint32_t fatbase = 0;            // first sector of the first FAT
    uint32_t dirbase = 0;            // root: first sector (FAT12/16) or first cluster (FAT32)
    uint32_t database = 0;           // first sector of cluster 2
    uint32_t fsinfo = 0;             // FSInfo sector (FAT32), 0 when none
    uint32_t free_clst = 0xFFFFFFFF; // free clusters, 0xFFFFFFFF when not yet counted
    uint32_t last_clst = 0;          // last allocated cluster (search hint)
    ZotFatSectorCache cache;
};

// An open file.
struct FIL {
    FATFS* fs = nullptr;
    uint16_t id = 0;
    uint8_t flag = 0; // FA_ mode bits, plus kFileDirty
    uint8_t attr = 0;
    uint32_t sclust = 0;   // first cluster (0: empty file)
    uint32_t clust = 0;    // cluster holding the byte before fptr (0 at offset 0)
    uint32_t sect = 0;     // sector holding fptr, valid when fptr is inside a sector
    uint32_t fptr = 0;     // read/write position
    uint32_t fsize = 0;    // file size
    uint32_t dir_sect = 0; // sector and offset of the file's directory entry
    uint16_t dir_ofs = 0;
};

// An open directory (also the cursor the engine walks directories with).
struct FF_DIR {
    FATFS* fs = nullptr;
    uint16_t id = 0;
    uint32_t sclust = 0;  // first cluster; 0 = the fixed root of FAT12/16
    uint32_t clust = 0;   // current cluster
    uint32_t sect = 0;    // current sector
    uint32_t index = 0;   // current entry index
    uint32_t blk_ofs = 0; // index of the first entry of the last entry set read
};

constexpr size_t FF_LFN_MAX = 255;  // UTF-16 units of a long name
constexpr size_t FF_NAME_BUF = 768; // UTF-8 bytes of a long name plus NUL

struct FILINFO {
    uint32_t fsize = 0;
    uint16_t fdate = 0; // bits 15-9 year-1980, 8-5 month, 4-0 day
    uint16_t ftime = 0; // bits 15-11 hour, 10-5 minute, 4-0 seconds/2
    uint8_t fattrib = 0;
    char altname[13] = {};        // short name ("README.TXT")
    char fname[FF_NAME_BUF] = {}; // long name when present, else the short name; empty: end of folder
};

// Open modes.
constexpr uint8_t FA_READ = 0x01;
constexpr uint8_t FA_WRITE = 0x02;
constexpr uint8_t FA_OPEN_EXISTING = 0x00;
constexpr uint8_t FA_CREATE_NEW = 0x04;
constexpr uint8_t FA_CREATE_ALWAYS = 0x08;
constexpr uint8_t FA_OPEN_ALWAYS = 0x10;
constexpr uint8_t FA_OPEN_APPEND = 0x30;

// Format options.
constexpr uint8_t FM_FAT = 0x01;   // FAT12 or FAT16 (by cluster count)
constexpr uint8_t FM_FAT32 = 0x02; // FAT32
constexpr uint8_t FM_ANY = 0x07;   // FAT12/16, or FAT32 when the volume is too large for FAT16
constexpr uint8_t FM_SFD = 0x08;   // no partition table: the volume starts at sector 0

struct MKFS_PARM {
    uint8_t fmt = FM_ANY; // FM_ bits
    uint8_t n_fat = 0;    // FAT copies, 1 or 2 (0: 1)
    uint32_t align = 0;   // data-area alignment in sectors (0: the device's erase-block size)
    uint32_t n_root = 0;  // root entries on FAT12/16 (0: 512)
    uint32_t au_size = 0; // cluster size in bytes (0: chosen from the volume size)
};

// ---- Operations ------------------------------------------------------------
// Paths are UTF-8, absolute or relative to the root, '/' separated; an
// optional "0:" prefix names the one volume.

// Registers (fs non-null) or detaches (fs null) the volume object of "/".
// opt 0: mount on first access; 1: mount now.
FRESULT f_mount(FATFS* fs, const char* path, uint8_t opt);
// Creates a partition table (unless FM_SFD) and a FAT volume on the device.
FRESULT f_mkfs(const char* path, const MKFS_PARM* opt, void* work, uint32_t len);
// label: at least 34 bytes (11 code-page characters in UTF-8); vsn may be null.
FRESULT f_getlabel(const char* path, char* label, uint32_t* vsn);
// Sets the volume label (converted to upper case); an empty label removes it.
FRESULT f_setlabel(const char* label);
FRESULT f_stat(const char* path, FILINFO* fno);
FRESULT f_opendir(FF_DIR* dp, const char* path);
// Next entry ("." and ".." are skipped); fno->fname empty at the end. fno null rewinds.
FRESULT f_readdir(FF_DIR* dp, FILINFO* fno);
FRESULT f_closedir(FF_DIR* dp);
FRESULT f_mkdir(const char* path);
// Removes a file or an empty folder.
FRESULT f_unlink(const char* path);
FRESULT f_open(FIL* fp, const char* path, uint8_t mode);
FRESULT f_read(FIL* fp, void* buff, uint32_t btr, uint32_t* br);
// A short count with FR_OK means the volume is full.
FRESULT f_write(FIL* fp, const void* buff, uint32_t btw, uint32_t* bw);
FRESULT f_lseek(FIL* fp, uint32_t ofs);
FRESULT f_sync(FIL* fp);
FRESULT f_close(FIL* fp);
// Free clusters of the volume; *fatfs receives the volume object.
FRESULT f_getfree(const char* path, uint32_t* nclst, FATFS** fatfs);

inline uint32_t f_size(const FIL* fp) {
    return fp->fsize;
}
inline uint32_t f_tell(const FIL* fp) {
    return fp->fptr;
}
