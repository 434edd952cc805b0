// The f_ operations: volume registration and mounting, path resolution,
// files and folders. See ZotFatFs.h for the layers underneath.
#include "vdisk/fatfs/ZotFatFs.h"

#include "vdisk/fatfs/ZotFatDirectory.h"
#include "vdisk/fatfs/ZotFatFormat.h"
#include "vdisk/fatfs/ZotFatName.h"
#include "vdisk/fatfs/ZotFatTable.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace {

using Dir = ZotFatDirectory;
using Table = ZotFatTable;

const FatMedia* g_media = nullptr;
FATFS* g_fs = nullptr;
uint16_t g_mountId = 0;

constexpr uint8_t kFileDirty = 0x80;
constexpr uint32_t kSectorSize = 512;

FRESULT FromTable(uint32_t v) {
    return v == Table::kDiskError ? FR_DISK_ERR : FR_INT_ERR;
}

uint32_t Now() {
    return g_media && g_media->fattime ? g_media->fattime() : ((2020u - 1980u) << 25 | 1u << 21 | 1u << 16);
}

// ---- Mounting ----------------------------------------------------------------

enum class BootKind { Fat, OtherSigned, Unsigned, DiskError };

uint16_t L16(const uint8_t* p) {
    return Dir::Load16(p);
}
uint32_t L32(const uint8_t* p) {
    return Dir::Load32(p);
}

BootKind CheckBootSector(FATFS* fs, uint32_t sector) {
    const uint8_t* b = fs->cache.Get(sector);
    if (!b)
        return BootKind::DiskError;
    if (L16(b + 510) != 0xAA55)
        return BootKind::Unsigned;
    uint8_t csize = b[13];
    bool fat = (b[0] == 0xEB || b[0] == 0xE9 || b[0] == 0xE8) && L16(b + 11) == kSectorSize && csize != 0 &&
               (csize & (csize - 1)) == 0 && L16(b + 14) != 0 && (b[16] == 1 || b[16] == 2);
    return fat ? BootKind::Fat : BootKind::OtherSigned;
}

// Reads the boot sector at `bsect` into `fs`; every field is checked.
FRESULT LoadVolume(FATFS* fs, uint32_t bsect) {
    const uint8_t* b = fs->cache.Get(bsect);
    if (!b)
        return FR_DISK_ERR;
    uint64_t csize = b[13];
    uint64_t rsv = L16(b + 14);
    uint64_t nfats = b[16];
    uint64_t nroot = L16(b + 17);
    uint64_t tsect = L16(b + 19) ? L16(b + 19) : L32(b + 32);
    uint64_t fatsz = L16(b + 22) ? L16(b + 22) : L32(b + 36);
    if (fatsz == 0 || nroot % 16 != 0)
        return FR_NO_FILESYSTEM;
    uint64_t sysect = rsv + fatsz * nfats + nroot / 16;
    if (tsect <= sysect || bsect + tsect > 0xFFFFFFFFull)
        return FR_NO_FILESYSTEM;
    uint64_t nclst = (tsect - sysect) / csize;
    if (nclst == 0)
        return FR_NO_FILESYSTEM;
    uint8_t type = nclst < 4085 ? FS_FAT12 : nclst < 65525 ? FS_FAT16 : FS_FAT32;
    if (nclst > 0x0FFFFFF5)
        return FR_NO_FILESYSTEM;
    uint64_t entries = nclst + 2;
    uint64_t fatBytes = type == FS_FAT32   ? entries * 4
                        : type == FS_FAT16 ? entries * 2
                                           : (entries * 3 + 1) / 2;
    if (fatsz * kSectorSize < fatBytes)
        return FR_NO_FILESYSTEM;
    if (type == FS_FAT32) {
        if (nroot != 0 || L16(b + 22) != 0)
            return FR_NO_FILESYSTEM;
        uint32_t root = L32(b + 44) & 0x0FFFFFFF;
        if (root < 2 || root >= entries)
            return FR_NO_FILESYSTEM;
        fs->dirbase = root;
        uint32_t fsi = L16(b + 48);
        fs->fsinfo = (fsi >= 1 && fsi < rsv) ? bsect + fsi : 0;
    } else {
        if (nroot == 0)
            return FR_NO_FILESYSTEM;
        fs->dirbase = uint32_t(bsect + rsv + fatsz * nfats);
        fs->fsinfo = 0;
    }
    fs->csize = uint16_t(csize);
    fs->n_fats = uint8_t(nfats);
    fs->n_rootdir = uint16_t(nroot);
    fs->n_fatent = uint32_t(entries);
    fs->fsize = uint32_t(fatsz);
    fs->volbase = bsect;
    fs->volsize = uint32_t(tsect);
    fs->fatbase = uint32_t(bsect + rsv);
    fs->database = uint32_t(bsect + sysect);
    fs->free_clst = 0xFFFFFFFF;
    fs->last_clst = 0;
    fs->fsi_dirty = 0;
    if (fs->fsinfo) {
        const uint8_t* f = fs->cache.Get(fs->fsinfo);
        if (f && L32(f) == 0x41615252 && L32(f + 484) == 0x61417272) {
            uint32_t next = L32(f + 492);
            if (next >= 2 && next < fs->n_fatent)
                fs->last_clst = next - 1;
        }
    }
    fs->cache.SetFatMirror(fs->fatbase, fs->fsize, fs->n_fats);
    fs->id = ++g_mountId;
    fs->fs_type = type;
    return FR_OK;
}

FRESULT Mount(FATFS* fs, bool write) {
    fs->fs_type = 0;
    fs->cache.Reset(g_media);
    uint8_t st = g_media->initialize(0);
    if (st & STA_NOINIT)
        return FR_NOT_READY;
    if (write && (st & STA_PROTECT))
        return FR_WRITE_PROTECTED;
    uint16_t ss = 0;
    if (g_media->ioctl(0, GET_SECTOR_SIZE, &ss) == RES_OK && ss != kSectorSize)
        return FR_NO_FILESYSTEM;

    uint32_t bsect = 0;
    BootKind kind = CheckBootSector(fs, 0);
    if (kind == BootKind::DiskError)
        return FR_DISK_ERR;
    if (kind == BootKind::OtherSigned) {
        // A partition table: the first entry that holds a FAT volume.
        uint8_t table[64];
        const uint8_t* mbr = fs->cache.Get(0);
        if (!mbr)
            return FR_DISK_ERR;
        std::memcpy(table, mbr + 446, sizeof table);
        kind = BootKind::Unsigned;
        for (int i = 0; i < 4 && kind != BootKind::Fat; ++i) {
            const uint8_t* pe = table + 16 * i;
            uint32_t lba = L32(pe + 8);
            if (pe[4] == 0 || lba == 0)
                continue;
            kind = CheckBootSector(fs, lba);
            if (kind == BootKind::DiskError)
                return FR_DISK_ERR;
            bsect = lba;
        }
    }
    if (kind != BootKind::Fat)
        return FR_NO_FILESYSTEM;
    return LoadVolume(fs, bsect);
}

// The registered volume, mounted when it is not (or the device was reset).
FRESULT FindVolume(FATFS** out, bool write) {
    FATFS* fs = g_fs;
    *out = fs;
    if (!fs)
        return FR_NOT_ENABLED;
    if (!g_media)
        return FR_NOT_READY;
    if (fs->fs_type) {
        uint8_t st = g_media->status(0);
        if (!(st & STA_NOINIT)) {
            if (write && (st & STA_PROTECT))
                return FR_WRITE_PROTECTED;
            return FR_OK;
        }
    }
    return Mount(fs, write);
}

FRESULT SyncVolume(FATFS* fs) {
    bool ok = fs->cache.Flush();
    if (ok && fs->fs_type == FS_FAT32 && fs->fsinfo && fs->fsi_dirty) {
        uint32_t free = Table::CountFree(fs);
        uint8_t* f = fs->cache.GetForWrite(fs->fsinfo);
        if (free == Table::kDiskError || !f) {
            ok = false;
        } else {
            if (Dir::Load32(f) != 0x41615252 || Dir::Load32(f + 484) != 0x61417272) {
                std::memset(f, 0, kSectorSize);
                Dir::Store32(f, 0x41615252);
                Dir::Store32(f + 484, 0x61417272);
                Dir::Store32(f + 508, 0xAA550000);
            }
            Dir::Store32(f + 488, free);
            Dir::Store32(f + 492, fs->last_clst >= 2 ? fs->last_clst + 1 : 0xFFFFFFFF);
            ok = fs->cache.Flush();
            fs->fsi_dirty = 0;
        }
    }
    if (g_media->ioctl(0, CTRL_SYNC, nullptr) != RES_OK)
        ok = false;
    return ok ? FR_OK : FR_DISK_ERR;
}

// ---- Paths -------------------------------------------------------------------

struct Segment {
    char16_t name[FF_LFN_MAX];
    size_t len;
};

// Splits a path into names: "0:" prefix allowed, '/' or '\' separators, "."
// dropped, ".." going up (not above the root), trailing dots and spaces of a
// name dropped.
FRESULT ParsePath(const char* path, std::vector<Segment>& out) {
    if (!path)
        return FR_INVALID_PARAMETER;
    std::string_view p(path);
    size_t colon = p.find(':');
    if (colon != std::string_view::npos && p.find_first_of("/\\") > colon) {
        if (p.substr(0, colon) != "0")
            return FR_INVALID_DRIVE;
        p.remove_prefix(colon + 1);
    }
    while (!p.empty()) {
        size_t sep = p.find_first_of("/\\");
        std::string_view part = p.substr(0, sep);
        p.remove_prefix(sep == std::string_view::npos ? p.size() : sep + 1);
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!out.empty())
                out.pop_back();
            continue;
        }
        while (!part.empty() && (part.back() == '.' || part.back() == ' '))
            part.remove_suffix(1);
        Segment seg;
        if (part.empty() || !ZotFatName::Utf8ToUtf16(part.data(), part.size(), seg.name, FF_LFN_MAX, seg.len))
            return FR_INVALID_NAME;
        for (size_t i = 0; i < seg.len; ++i) {
            if (!ZotFatName::IsValidLongChar(seg.name[i]))
                return FR_INVALID_NAME;
        }
        out.push_back(seg);
    }
    return FR_OK;
}

// The result of resolving a path.
struct Resolved {
    FF_DIR dir;          // the containing folder, cursor on the object's entry
    Dir::EntrySet set;   // the object's entry set (not for the root)
    bool isRoot = false; // the path names the root folder
    Segment last;        // the last name (for creation)
};

// Resolves `path` on `fs`. FR_NO_FILE: the last name is missing (dir is its
// folder); FR_NO_PATH: a folder on the way is missing.
FRESULT FollowPath(FATFS* fs, const char* path, Resolved& r) {
    std::vector<Segment> segs;
    FRESULT res = ParsePath(path, segs);
    if (res != FR_OK)
        return res;
    r.dir = FF_DIR{};
    r.dir.fs = fs;
    r.dir.id = fs->id;
    r.dir.sclust = Dir::RootCluster(fs);
    if (segs.empty()) {
        r.isRoot = true;
        return FR_OK;
    }
    for (size_t i = 0; i < segs.size(); ++i) {
        res = Dir::Find(&r.dir, segs[i].name, segs[i].len, r.set);
        bool last = i + 1 == segs.size();
        if (res == FR_NO_FILE) {
            if (last)
                r.last = segs[i];
            return last ? FR_NO_FILE : FR_NO_PATH;
        }
        if (res != FR_OK)
            return res;
        if (last) {
            r.last = segs[i];
            return FR_OK;
        }
        if (!(r.set.sfn[11] & AM_DIR))
            return FR_NO_PATH;
        uint32_t c = Dir::EntryCluster(fs, r.set.sfn);
        if (c == 0)
            c = Dir::RootCluster(fs);
        else if (!Table::IsValidCluster(fs, c))
            return FR_INT_ERR;
        r.dir.sclust = c;
    }
    return FR_OK;
}

void FillInfo(const Dir::EntrySet& set, FILINFO* fno) {
    fno->fsize = (set.sfn[11] & AM_DIR) ? 0 : Dir::Load32(set.sfn + 28);
    fno->ftime = Dir::Load16(set.sfn + 22);
    fno->fdate = Dir::Load16(set.sfn + 24);
    fno->fattrib = set.sfn[11] & 0x3F;
    char16_t name[FF_LFN_MAX + 1];
    size_t n = ZotFatName::ShortNameToUtf16(set.sfn, 0, name);
    if (n == 0)
        name[n++] = '_';
    ZotFatName::Utf16ToUtf8(name, n, fno->altname, sizeof fno->altname);
    n = Dir::DisplayName(set, name);
    ZotFatName::Utf16ToUtf8(name, n, fno->fname, sizeof fno->fname);
}

template <typename Obj> FRESULT Validate(Obj* obj) {
    if (!obj || !obj->fs || !obj->fs->fs_type || obj->id != obj->fs->id || obj->fs != g_fs || !g_media)
        return FR_INVALID_OBJECT;
    if (g_media->status(0) & STA_NOINIT)
        return FR_NOT_READY;
    return FR_OK;
}

void StampEntry(uint8_t* e, uint32_t time) {
    Dir::Store16(e + 22, uint16_t(time));
    Dir::Store16(e + 24, uint16_t(time >> 16));
    Dir::Store16(e + 18, uint16_t(time >> 16));
}

// Keeps the label copy of the boot sector (and of its FAT32 backup) in step
// with the root folder's label entry.
bool StoreBootLabel(FATFS* fs, const uint8_t name[11]) {
    uint32_t at = fs->fs_type == FS_FAT32 ? 71 : 43;
    uint8_t* b = fs->cache.GetForWrite(fs->volbase);
    if (!b)
        return false;
    if (b[at - 5] != 0x29)
        return true; // no extended boot record: nowhere to keep it
    std::memcpy(b + at, name, 11);
    if (fs->fs_type == FS_FAT32) {
        uint32_t backup = Dir::Load16(b + 50);
        uint32_t reserved = Dir::Load16(b + 14);
        if (backup != 0 && backup < reserved) {
            uint8_t* k = fs->cache.GetForWrite(fs->volbase + backup);
            if (!k)
                return false;
            if (k[at - 5] == 0x29)
                std::memcpy(k + at, name, 11);
        }
    }
    return true;
}

} // namespace

// ---- Operations ------------------------------------------------------------------

const char* f_resulttext(FRESULT r) {
    static const char* const texts[] = {
        "succeeded",
        "disk I/O error",
        "volume structure is damaged",
        "device not ready",
        "no such file",
        "no such folder",
        "invalid name",
        "access denied (folder not empty, read-only, or volume or folder full)",
        "already exists",
        "invalid object",
        "device is write-protected",
        "invalid volume",
        "no volume registered",
        "no FAT volume found",
        "cannot format with these options",
        "timeout",
        "locked",
        "work buffer too small",
        "too many open files",
        "invalid parameter",
    };
    return (r >= 0 && r < int(sizeof texts / sizeof texts[0])) ? texts[r] : "unknown error";
}

void f_setmedia(const FatMedia* media) {
    g_media = media;
    if (g_fs)
        g_fs->fs_type = 0;
}

FRESULT f_mount(FATFS* fs, const char* path, uint8_t opt) {
    std::vector<Segment> segs;
    FRESULT res = ParsePath(path ? path : "", segs);
    if (res != FR_OK)
        return res;
    if (g_fs)
        g_fs->fs_type = 0;
    g_fs = fs;
    if (!fs)
        return FR_OK;
    fs->fs_type = 0;
    if (opt != 1)
        return FR_OK;
    FATFS* vol;
    return FindVolume(&vol, false);
}

FRESULT f_mkfs(const char* path, const MKFS_PARM* opt, void* work, uint32_t len) {
    std::vector<Segment> segs;
    FRESULT res = ParsePath(path ? path : "", segs);
    if (res != FR_OK)
        return res;
    if (!g_media)
        return FR_NOT_READY;
    if (g_fs)
        g_fs->fs_type = 0;
    MKFS_PARM defaults;
    return ZotFatFormat::Run(*g_media, opt ? *opt : defaults, static_cast<uint8_t*>(work), len, Now());
}

FRESULT f_getlabel(const char* path, char* label, uint32_t* vsn) {
    std::vector<Segment> segs;
    FRESULT res = ParsePath(path ? path : "", segs);
    if (res != FR_OK)
        return res;
    FATFS* fs;
    res = FindVolume(&fs, false);
    if (res != FR_OK)
        return res;
    if (label) {
        label[0] = '\0';
        FF_DIR d;
        d.fs = fs;
        d.sclust = Dir::RootCluster(fs);
        res = Dir::Seek(&d, 0);
        while (res == FR_OK) {
            const uint8_t* e = Dir::Entry(&d);
            if (!e)
                return FR_DISK_ERR;
            if (e[0] == 0)
                break;
            if (e[0] != 0xE5 && (e[11] & 0x3F) != 0x0F && (e[11] & AM_VOL)) {
                char16_t text[11];
                size_t n = 11;
                while (n > 0 && e[n - 1] == ' ')
                    --n;
                for (size_t i = 0; i < n; ++i)
                    text[i] = ZotFatName::OemToUnicode(e[i]);
                ZotFatName::Utf16ToUtf8(text, n, label, 34);
                break;
            }
            res = Dir::Next(&d, false);
        }
        if (res != FR_OK && res != FR_NO_FILE)
            return res;
    }
    if (vsn) {
        const uint8_t* b = fs->cache.Get(fs->volbase);
        if (!b)
            return FR_DISK_ERR;
        *vsn = Dir::Load32(b + (fs->fs_type == FS_FAT32 ? 67 : 39));
    }
    return FR_OK;
}

FRESULT f_setlabel(const char* label) {
    if (!label)
        return FR_INVALID_PARAMETER;
    std::string_view text(label);
    if (text.size() >= 2 && text[1] == ':') {
        if (text[0] != '0')
            return FR_INVALID_DRIVE;
        text.remove_prefix(2);
    }
    char16_t wide[64];
    size_t n = 0;
    if (text.size() > 44 || !ZotFatName::Utf8ToUtf16(text.data(), text.size(), wide, 64, n))
        return FR_INVALID_NAME;
    uint8_t name[11];
    std::memset(name, ' ', 11);
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = ZotFatName::ToUpper(wide[i]);
        uint8_t b = ZotFatName::UnicodeToOem(c);
        if (b == 0 || c < 0x20 || c == 0x7F || (c < 0x80 && std::strchr("\"*+,./:;<=>?[\\]|", c)) || at >= 11)
            return FR_INVALID_NAME;
        name[at++] = b;
    }
    while (at > 0 && name[at - 1] == ' ')
        --at;
    if (at > 0 && name[0] == ' ')
        return FR_INVALID_NAME;

    FATFS* fs;
    FRESULT res = FindVolume(&fs, true);
    if (res != FR_OK)
        return res;
    FF_DIR d;
    d.fs = fs;
    d.sclust = Dir::RootCluster(fs);
    // Existing label entry, else the first free slot.
    bool found = false;
    res = Dir::Seek(&d, 0);
    while (res == FR_OK) {
        const uint8_t* e = Dir::Entry(&d);
        if (!e)
            return FR_DISK_ERR;
        if (e[0] == 0)
            break;
        if (e[0] != 0xE5 && (e[11] & 0x3F) != 0x0F && (e[11] & AM_VOL)) {
            found = true;
            break;
        }
        res = Dir::Next(&d, false);
    }
    if (res != FR_OK && res != FR_NO_FILE)
        return res;
    if (at == 0) {
        if (!found)
            return FR_OK;
        uint8_t* e = Dir::EntryForWrite(&d);
        if (!e)
            return FR_DISK_ERR;
        e[0] = 0xE5;
        if (!StoreBootLabel(fs, reinterpret_cast<const uint8_t*>("NO NAME    ")))
            return FR_DISK_ERR;
        return SyncVolume(fs);
    }
    if (!found) {
        res = Dir::Seek(&d, 0);
        while (res == FR_OK) {
            const uint8_t* e = Dir::Entry(&d);
            if (!e)
                return FR_DISK_ERR;
            if (e[0] == 0 || e[0] == 0xE5)
                break;
            res = Dir::Next(&d, true);
        }
        if (res != FR_OK)
            return res;
    }
    uint8_t* e = Dir::EntryForWrite(&d);
    if (!e)
        return FR_DISK_ERR;
    std::memset(e, 0, 32);
    std::memcpy(e, name, 11);
    e[11] = AM_VOL | AM_ARC;
    StampEntry(e, Now());
    if (!StoreBootLabel(fs, name))
        return FR_DISK_ERR;
    return SyncVolume(fs);
}

FRESULT f_stat(const char* path, FILINFO* fno) {
    FATFS* fs;
    FRESULT res = FindVolume(&fs, false);
    if (res != FR_OK)
        return res;
    Resolved r;
    res = FollowPath(fs, path, r);
    if (res != FR_OK)
        return res;
    if (r.isRoot)
        return FR_INVALID_NAME;
    if (fno)
        FillInfo(r.set, fno);
    return FR_OK;
}

FRESULT f_opendir(FF_DIR* dp, const char* path) {
    if (!dp)
        return FR_INVALID_OBJECT;
    dp->fs = nullptr;
    FATFS* fs;
    FRESULT res = FindVolume(&fs, false);
    if (res != FR_OK)
        return res;
    Resolved r;
    res = FollowPath(fs, path, r);
    if (res == FR_NO_FILE)
        return FR_NO_PATH;
    if (res != FR_OK)
        return res;
    uint32_t sclust = Dir::RootCluster(fs);
    if (!r.isRoot) {
        if (!(r.set.sfn[11] & AM_DIR))
            return FR_NO_PATH;
        uint32_t c = Dir::EntryCluster(fs, r.set.sfn);
        if (c != 0) {
            if (!Table::IsValidCluster(fs, c))
                return FR_INT_ERR;
            sclust = c;
        }
    }
    *dp = FF_DIR{};
    dp->fs = fs;
    dp->id = fs->id;
    dp->sclust = sclust;
    res = Dir::Seek(dp, 0);
    if (res != FR_OK)
        dp->fs = nullptr;
    return res;
}

FRESULT f_readdir(FF_DIR* dp, FILINFO* fno) {
    FRESULT res = Validate(dp);
    if (res != FR_OK)
        return res;
    if (!fno)
        return Dir::Seek(dp, 0);
    fno->fname[0] = '\0';
    if (dp->index >= ZotFatDirectory::kMaxEntries)
        return FR_OK;
    Dir::EntrySet set;
    res = Dir::ReadSet(dp, set);
    if (res == FR_NO_FILE) {
        dp->index = ZotFatDirectory::kMaxEntries;
        return FR_OK;
    }
    if (res != FR_OK)
        return res;
    FillInfo(set, fno);
    res = Dir::Next(dp, false);
    if (res == FR_NO_FILE) {
        dp->index = ZotFatDirectory::kMaxEntries;
        res = FR_OK;
    }
    return res;
}

FRESULT f_closedir(FF_DIR* dp) {
    FRESULT res = Validate(dp);
    if (res == FR_OK)
        dp->fs = nullptr;
    return res;
}

FRESULT f_mkdir(const char* path) {
    FATFS* fs;
    FRESULT res = FindVolume(&fs, true);
    if (res != FR_OK)
        return res;
    Resolved r;
    res = FollowPath(fs, path, r);
    if (res == FR_OK)
        return FR_EXIST;
    if (res != FR_NO_FILE)
        return res;
    uint32_t time = Now();
    uint32_t dcl = Table::CreateChain(fs, 0);
    if (dcl == 0)
        return FR_DENIED;
    if (dcl == 1 || dcl == Table::kDiskError)
        return FromTable(dcl);
    uint32_t sect = Table::ClusterToSector(fs, dcl);
    if (!fs->cache.WriteZeros(sect, fs->csize))
        return FR_DISK_ERR;
    uint8_t* b = fs->cache.GetForWrite(sect);
    if (!b)
        return FR_DISK_ERR;
    uint32_t parent = r.dir.sclust == Dir::RootCluster(fs) ? 0 : r.dir.sclust;
    for (int k = 0; k < 2; ++k) {
        uint8_t* e = b + 32 * k;
        std::memset(e, ' ', 11);
        e[0] = '.';
        if (k == 1)
            e[1] = '.';
        e[11] = AM_DIR;
        Dir::Store16(e + 14, uint16_t(time));
        Dir::Store16(e + 16, uint16_t(time >> 16));
        StampEntry(e, time);
        Dir::SetEntryCluster(e, k == 0 ? dcl : parent);
    }
    res = Dir::Register(&r.dir, r.last.name, r.last.len, AM_DIR, dcl, time);
    if (res != FR_OK) {
        Table::RemoveChain(fs, dcl, 0);
        SyncVolume(fs);
        return res;
    }
    return SyncVolume(fs);
}

FRESULT f_unlink(const char* path) {
    FATFS* fs;
    FRESULT res = FindVolume(&fs, true);
    if (res != FR_OK)
        return res;
    Resolved r;
    res = FollowPath(fs, path, r);
    if (res != FR_OK)
        return res;
    if (r.isRoot)
        return FR_INVALID_NAME;
    if (r.set.sfn[11] & AM_RDO)
        return FR_DENIED;
    uint32_t c = Dir::EntryCluster(fs, r.set.sfn);
    if (r.set.sfn[11] & AM_DIR) {
        if (c == 0 || c == Dir::RootCluster(fs))
            return FR_INT_ERR;
        if (!Table::IsValidCluster(fs, c))
            return FR_INT_ERR;
        res = Dir::CheckEmpty(fs, c);
        if (res != FR_OK)
            return res;
    }
    res = Dir::RemoveSet(&r.dir);
    if (res != FR_OK)
        return res;
    if (c != 0 && Table::IsValidCluster(fs, c)) {
        uint32_t v = Table::RemoveChain(fs, c, 0);
        if (v != 0)
            return FromTable(v);
    }
    return SyncVolume(fs);
}

FRESULT f_open(FIL* fp, const char* path, uint8_t mode) {
    if (!fp)
        return FR_INVALID_OBJECT;
    fp->fs = nullptr;
    mode &= FA_READ | FA_WRITE | FA_CREATE_NEW | FA_CREATE_ALWAYS | FA_OPEN_ALWAYS | FA_OPEN_APPEND;
    bool creating = mode & (FA_CREATE_NEW | FA_CREATE_ALWAYS | FA_OPEN_ALWAYS);
    FATFS* fs;
    FRESULT res = FindVolume(&fs, mode & (FA_WRITE | FA_CREATE_NEW | FA_CREATE_ALWAYS | FA_OPEN_ALWAYS));
    if (res != FR_OK)
        return res;
    Resolved r;
    res = FollowPath(fs, path, r);
    if (res == FR_OK && r.isRoot)
        return FR_INVALID_NAME;
    uint32_t time = Now();
    if (creating) {
        if (res == FR_NO_FILE) {
            res = Dir::Register(&r.dir, r.last.name, r.last.len, AM_ARC, 0, time);
            if (res != FR_OK)
                return res;
            res = SyncVolume(fs);
            if (res != FR_OK)
                return res;
            const uint8_t* e = Dir::Entry(&r.dir);
            if (!e)
                return FR_DISK_ERR;
            std::memcpy(r.set.sfn, e, 32);
        } else if (res != FR_OK) {
            return res;
        } else if (mode & FA_CREATE_NEW) {
            return FR_EXIST;
        } else if (r.set.sfn[11] & (AM_RDO | AM_DIR)) {
            return FR_DENIED;
        } else if (mode & FA_CREATE_ALWAYS) {
            uint32_t c = Dir::EntryCluster(fs, r.set.sfn);
            uint8_t* e = Dir::EntryForWrite(&r.dir);
            if (!e)
                return FR_DISK_ERR;
            Dir::SetEntryCluster(e, 0);
            Dir::Store32(e + 28, 0);
            e[11] |= AM_ARC;
            StampEntry(e, time);
            std::memcpy(r.set.sfn, e, 32);
            if (c != 0 && Table::IsValidCluster(fs, c)) {
                uint32_t v = Table::RemoveChain(fs, c, 0);
                if (v != 0)
                    return FromTable(v);
            }
            res = SyncVolume(fs);
            if (res != FR_OK)
                return res;
        }
    } else {
        if (res != FR_OK)
            return res;
        if (r.set.sfn[11] & AM_DIR)
            return FR_NO_FILE;
        if ((mode & FA_WRITE) && (r.set.sfn[11] & AM_RDO))
            return FR_DENIED;
    }
    *fp = FIL{};
    fp->fs = fs;
    fp->id = fs->id;
    fp->flag = mode & (FA_READ | FA_WRITE);
    fp->attr = r.set.sfn[11];
    fp->sclust = Dir::EntryCluster(fs, r.set.sfn);
    fp->fsize = Dir::Load32(r.set.sfn + 28);
    fp->dir_sect = r.dir.sect;
    fp->dir_ofs = uint16_t((r.dir.index % 16) * 32);
    if ((mode & FA_OPEN_APPEND) == FA_OPEN_APPEND) {
        res = f_lseek(fp, fp->fsize);
        if (res != FR_OK) {
            fp->fs = nullptr;
            return res;
        }
    }
    return FR_OK;
}

namespace {

// Moves fp->clust to the cluster holding the byte at fp->fptr (the position
// is at a cluster boundary). With `alloc`, a missing cluster is allocated;
// returns FR_DENIED when the volume is full.
FRESULT AdvanceCluster(FIL* fp, bool alloc) {
    FATFS* fs = fp->fs;
    uint32_t bcs = uint32_t(fs->csize) * kSectorSize;
    // A chain cannot hold more clusters than the volume: a longer walk loops.
    if (fp->fptr / bcs >= fs->n_fatent - 2)
        return alloc ? FR_DENIED : FR_INT_ERR;
    uint32_t c;
    if (fp->fptr == 0) {
        c = fp->sclust;
        if (c == 0) {
            if (!alloc)
                return FR_INT_ERR;
            c = Table::CreateChain(fs, 0);
            if (c == 0)
                return FR_DENIED;
            if (c == 1 || c == Table::kDiskError)
                return FromTable(c);
            fp->sclust = c;
            fp->flag |= kFileDirty;
        }
    } else {
        c = Table::Get(fs, fp->clust);
        if (c == Table::kDiskError || c < 2)
            return FromTable(c);
        if (c >= fs->n_fatent) {
            if (!alloc)
                return FR_INT_ERR;
            c = Table::CreateChain(fs, fp->clust);
            if (c == 0)
                return FR_DENIED;
            if (c == 1 || c == Table::kDiskError)
                return FromTable(c);
        }
    }
    if (!Table::IsValidCluster(fs, c))
        return FR_INT_ERR;
    fp->clust = c;
    return FR_OK;
}

// Number of whole sectors from fp->sect on that lie in contiguous clusters,
// at most `want`; moves fp->clust to the cluster of the last one. With
// `alloc` the chain is extended (contiguously when the next cluster is free).
FRESULT ContiguousRun(FIL* fp, uint32_t want, bool alloc, uint32_t& run) {
    FATFS* fs = fp->fs;
    uint32_t csect = (fp->fptr / kSectorSize) & (fs->csize - 1u);
    run = fs->csize - csect;
    while (run < want) {
        uint32_t next = Table::Get(fs, fp->clust);
        if (next == Table::kDiskError)
            return FR_DISK_ERR;
        if (next >= fs->n_fatent && alloc) {
            next = Table::CreateChain(fs, fp->clust);
            if (next == Table::kDiskError)
                return FR_DISK_ERR;
            if (next < 2)
                break; // full (or broken): the caller writes what fits
        }
        if (next != fp->clust + 1)
            break;
        fp->clust = next;
        run += fs->csize;
    }
    if (run > want)
        run = want;
    return FR_OK;
}

} // namespace

FRESULT f_read(FIL* fp, void* buff, uint32_t btr, uint32_t* br) {
    if (br)
        *br = 0;
    FRESULT res = Validate(fp);
    if (res != FR_OK)
        return res;
    if (!(fp->flag & FA_READ) || !buff || !br)
        return FR_DENIED;
    FATFS* fs = fp->fs;
    auto* out = static_cast<uint8_t*>(buff);
    uint32_t remain = fp->fsize - fp->fptr;
    if (fp->fptr > fp->fsize)
        remain = 0;
    if (btr > remain)
        btr = remain;
    while (btr > 0) {
        uint32_t inSector = fp->fptr % kSectorSize;
        if (inSector == 0) {
            uint32_t csect = (fp->fptr / kSectorSize) & (fs->csize - 1u);
            if (csect == 0) {
                res = AdvanceCluster(fp, false);
                if (res != FR_OK)
                    return res;
            }
            uint32_t base = Table::ClusterToSector(fs, fp->clust);
            if (base == 0)
                return FR_INT_ERR;
            fp->sect = base + csect;
            if (btr >= kSectorSize) {
                uint32_t first = fp->sect, run;
                res = ContiguousRun(fp, btr / kSectorSize, false, run);
                if (res != FR_OK)
                    return res;
                if (!fs->cache.FlushRange(first, run) || g_media->read(0, out, first, run) != RES_OK)
                    return FR_DISK_ERR;
                uint32_t n = run * kSectorSize;
                fp->fptr += n;
                out += n;
                *br += n;
                btr -= n;
                continue;
            }
        }
        const uint8_t* p = fs->cache.Get(fp->sect);
        if (!p)
            return FR_DISK_ERR;
        uint32_t n = kSectorSize - inSector;
        if (n > btr)
            n = btr;
        std::memcpy(out, p + inSector, n);
        fp->fptr += n;
        out += n;
        *br += n;
        btr -= n;
    }
    return FR_OK;
}

FRESULT f_write(FIL* fp, const void* buff, uint32_t btw, uint32_t* bw) {
    if (bw)
        *bw = 0;
    FRESULT res = Validate(fp);
    if (res != FR_OK)
        return res;
    if (!(fp->flag & FA_WRITE) || !buff || !bw)
        return FR_DENIED;
    FATFS* fs = fp->fs;
    const auto* in = static_cast<const uint8_t*>(buff);
    if (uint64_t(fp->fptr) + btw > 0xFFFFFFFFull)
        btw = 0xFFFFFFFFu - fp->fptr;
    while (btw > 0) {
        uint32_t inSector = fp->fptr % kSectorSize;
        if (inSector == 0) {
            uint32_t csect = (fp->fptr / kSectorSize) & (fs->csize - 1u);
            if (csect == 0) {
                res = AdvanceCluster(fp, true);
                if (res == FR_DENIED)
                    break; // volume full: a short count
                if (res != FR_OK)
                    return res;
            }
            uint32_t base = Table::ClusterToSector(fs, fp->clust);
            if (base == 0)
                return FR_INT_ERR;
            fp->sect = base + csect;
            if (btw >= kSectorSize) {
                uint32_t first = fp->sect, run;
                res = ContiguousRun(fp, btw / kSectorSize, true, run);
                if (res != FR_OK)
                    return res;
                fs->cache.Discard(first, run);
                if (g_media->write(0, in, first, run) != RES_OK)
                    return FR_DISK_ERR;
                uint32_t n = run * kSectorSize;
                fp->fptr += n;
                in += n;
                *bw += n;
                btw -= n;
                if (fp->fptr > fp->fsize)
                    fp->fsize = fp->fptr;
                fp->flag |= kFileDirty;
                continue;
            }
        }
        // Partial sector: a sector wholly beyond the end need not be read.
        bool fresh = inSector == 0 && fp->fptr >= fp->fsize;
        uint8_t* p = fs->cache.GetForWrite(fp->sect, fresh);
        if (!p)
            return FR_DISK_ERR;
        uint32_t n = kSectorSize - inSector;
        if (n > btw)
            n = btw;
        std::memcpy(p + inSector, in, n);
        fp->fptr += n;
        in += n;
        *bw += n;
        btw -= n;
        if (fp->fptr > fp->fsize)
            fp->fsize = fp->fptr;
        fp->flag |= kFileDirty;
    }
    return FR_OK;
}

FRESULT f_lseek(FIL* fp, uint32_t ofs) {
    FRESULT res = Validate(fp);
    if (res != FR_OK)
        return res;
    if (ofs > fp->fsize)
        ofs = fp->fsize; // no growing by seeking
    FATFS* fs = fp->fs;
    uint32_t bcs = uint32_t(fs->csize) * kSectorSize;
    fp->fptr = 0;
    fp->clust = 0;
    if (ofs == 0)
        return FR_OK;
    // Walk to the cluster holding byte ofs - 1.
    uint32_t c = fp->sclust;
    if (!Table::IsValidCluster(fs, c))
        return FR_INT_ERR;
    uint32_t steps = (ofs - 1) / bcs;
    if (steps >= fs->n_fatent - 2)
        return FR_INT_ERR;
    for (uint32_t i = 0; i < steps; ++i) {
        c = Table::Get(fs, c);
        if (!Table::IsValidCluster(fs, c))
            return FromTable(c);
    }
    fp->clust = c;
    fp->fptr = ofs;
    if (ofs % kSectorSize)
        fp->sect = Table::ClusterToSector(fs, c) + (ofs / kSectorSize) % fs->csize;
    return FR_OK;
}

FRESULT f_sync(FIL* fp) {
    FRESULT res = Validate(fp);
    if (res != FR_OK)
        return res;
    FATFS* fs = fp->fs;
    if (fp->flag & kFileDirty) {
        uint8_t* p = fs->cache.GetForWrite(fp->dir_sect);
        if (!p)
            return FR_DISK_ERR;
        uint8_t* e = p + fp->dir_ofs;
        e[11] |= AM_ARC;
        Dir::SetEntryCluster(e, fp->sclust);
        Dir::Store32(e + 28, fp->fsize);
        StampEntry(e, Now());
        fp->flag &= uint8_t(~kFileDirty);
    }
    return SyncVolume(fs);
}

FRESULT f_close(FIL* fp) {
    FRESULT res = FR_OK;
    if (fp && (fp->flag & FA_WRITE))
        res = f_sync(fp);
    else
        res = Validate(fp);
    if (res == FR_OK || res == FR_DISK_ERR)
        fp->fs = nullptr;
    return res;
}

FRESULT f_getfree(const char* path, uint32_t* nclst, FATFS** fatfs) {
    std::vector<Segment> segs;
    FRESULT res = ParsePath(path ? path : "", segs);
    if (res != FR_OK)
        return res;
    FATFS* fs;
    res = FindVolume(&fs, false);
    if (res != FR_OK)
        return res;
    uint32_t n = Table::CountFree(fs);
    if (n == Table::kDiskError)
        return FR_DISK_ERR;
    if (nclst)
        *nclst = n;
    if (fatfs)
        *fatfs = fs;
    return FR_OK;
}
