#include "vdisk/fatfs/ZotFatDirectory.h"

#include "vdisk/fatfs/ZotFatName.h"
#include "vdisk/fatfs/ZotFatTable.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

// Byte offsets of the 13 UTF-16 units of a long-name entry.
constexpr uint8_t kLfnOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
constexpr uint8_t kAttrLongName = 0x0F;
constexpr uint32_t kEntriesPerSector = 16;

FRESULT FromTable(uint32_t v) {
    return v == ZotFatTable::kDiskError ? FR_DISK_ERR : FR_INT_ERR;
}

bool IsLabelOrLong(const uint8_t* e) {
    return (e[11] & 0x3F) == kAttrLongName || (e[11] & AM_VOL);
}

} // namespace

uint32_t ZotFatDirectory::RootCluster(const FATFS* fs) {
    return fs->fs_type == FS_FAT32 ? fs->dirbase : 0;
}

uint32_t ZotFatDirectory::EntryCluster(const FATFS* fs, const uint8_t* entry) {
    uint32_t c = Load16(entry + 26);
    if (fs->fs_type == FS_FAT32)
        c |= uint32_t(Load16(entry + 20)) << 16;
    return c;
}

void ZotFatDirectory::SetEntryCluster(uint8_t* entry, uint32_t cluster) {
    Store16(entry + 26, uint16_t(cluster));
    Store16(entry + 20, uint16_t(cluster >> 16));
}

FRESULT ZotFatDirectory::Seek(FF_DIR* dp, uint32_t index) {
    FATFS* fs = dp->fs;
    if (index >= kMaxEntries)
        return FR_INT_ERR;
    dp->index = index;
    dp->clust = dp->sclust;
    if (dp->sclust == 0) {
        if (fs->fs_type == FS_FAT32 || index >= fs->n_rootdir)
            return FR_INT_ERR;
        dp->sect = fs->dirbase + index / kEntriesPerSector;
        return FR_OK;
    }
    uint32_t perCluster = kEntriesPerSector * fs->csize;
    uint32_t clst = dp->sclust;
    if (!ZotFatTable::IsValidCluster(fs, clst))
        return FR_INT_ERR;
    for (uint32_t n = index / perCluster; n > 0; --n) {
        uint32_t next = ZotFatTable::Get(fs, clst);
        if (!ZotFatTable::IsValidCluster(fs, next))
            return FromTable(next);
        clst = next;
    }
    dp->clust = clst;
    dp->sect = ZotFatTable::ClusterToSector(fs, clst) + (index % perCluster) / kEntriesPerSector;
    return FR_OK;
}

FRESULT ZotFatDirectory::Next(FF_DIR* dp, bool stretch) {
    FATFS* fs = dp->fs;
    uint32_t i = dp->index + 1;
    if (i >= kMaxEntries)
        return stretch ? FR_DENIED : FR_NO_FILE;
    if (i % kEntriesPerSector == 0) {
        if (dp->sclust == 0) {
            if (i >= fs->n_rootdir)
                return stretch ? FR_DENIED : FR_NO_FILE;
            ++dp->sect;
        } else if ((i / kEntriesPerSector) % fs->csize != 0) {
            ++dp->sect;
        } else {
            uint32_t next = ZotFatTable::Get(fs, dp->clust);
            if (next == ZotFatTable::kDiskError)
                return FR_DISK_ERR;
            if (next < 2)
                return FR_INT_ERR;
            if (next >= fs->n_fatent) {
                if (!stretch)
                    return FR_NO_FILE;
                next = ZotFatTable::CreateChain(fs, dp->clust);
                if (next == 0)
                    return FR_DENIED;
                if (next == 1 || next == ZotFatTable::kDiskError)
                    return FromTable(next);
                if (!fs->cache.WriteZeros(ZotFatTable::ClusterToSector(fs, next), fs->csize))
                    return FR_DISK_ERR;
            }
            dp->clust = next;
            dp->sect = ZotFatTable::ClusterToSector(fs, next);
        }
    }
    dp->index = i;
    return FR_OK;
}

const uint8_t* ZotFatDirectory::Entry(FF_DIR* dp) {
    const uint8_t* p = dp->fs->cache.Get(dp->sect);
    return p ? p + (dp->index % kEntriesPerSector) * 32 : nullptr;
}

uint8_t* ZotFatDirectory::EntryForWrite(FF_DIR* dp) {
    uint8_t* p = dp->fs->cache.GetForWrite(dp->sect);
    return p ? p + (dp->index % kEntriesPerSector) * 32 : nullptr;
}

FRESULT ZotFatDirectory::ReadSet(FF_DIR* dp, EntrySet& set) {
    char16_t lfn[20 * 13];
    int ord = 0; // next expected order number; 0: not collecting
    uint8_t chk = 0;
    uint32_t first = 0;
    for (;;) {
        const uint8_t* e = Entry(dp);
        if (!e)
            return FR_DISK_ERR;
        uint8_t b = e[0];
        if (b == 0)
            return FR_NO_FILE;
        uint8_t attr = e[11] & 0x3F;
        if (b == 0xE5) {
            ord = 0;
        } else if (attr == kAttrLongName) {
            int n = b & 0x3F;
            if (b & 0x40) {
                ord = (n >= 1 && n <= 20) ? n : 0;
                chk = e[13];
                first = dp->index;
                if (ord)
                    std::fill(std::begin(lfn), std::end(lfn), char16_t(0));
            } else if (ord == 0 || n != ord - 1 || e[13] != chk) {
                ord = 0;
            } else {
                ord = n;
            }
            if (ord) {
                for (int k = 0; k < 13; ++k)
                    lfn[(ord - 1) * 13 + k] = char16_t(Load16(e + kLfnOffsets[k]));
            }
        } else if ((attr & AM_VOL) || b == '.') {
            ord = 0;
        } else {
            std::memcpy(set.sfn, e, 32);
            set.hasLfn = false;
            dp->blk_ofs = dp->index;
            if (ord == 1 && chk == ZotFatName::Checksum(e)) {
                size_t len = 0;
                while (len < 20 * 13 && lfn[len] != 0)
                    ++len;
                if (len <= FF_LFN_MAX && ZotFatName::IsSafeName(lfn, len)) {
                    std::memcpy(set.lfn, lfn, len * sizeof(char16_t));
                    set.lfnLen = len;
                    set.hasLfn = true;
                    dp->blk_ofs = first;
                }
            }
            return FR_OK;
        }
        FRESULT res = Next(dp, false);
        if (res != FR_OK)
            return res;
    }
}

size_t ZotFatDirectory::DisplayName(const EntrySet& set, char16_t* out) {
    if (set.hasLfn) {
        std::memcpy(out, set.lfn, set.lfnLen * sizeof(char16_t));
        return set.lfnLen;
    }
    size_t n = ZotFatName::ShortNameToUtf16(set.sfn, set.sfn[12], out);
    if (n == 0)
        out[n++] = '_';
    return n;
}

FRESULT ZotFatDirectory::Find(FF_DIR* dp, const char16_t* name, size_t len, EntrySet& set) {
    FRESULT res = Seek(dp, 0);
    if (res != FR_OK)
        return res;
    char16_t upper[FF_LFN_MAX];
    for (size_t i = 0; i < len; ++i)
        upper[i] = ZotFatName::ToUpper(name[i]);
    auto same = [&](const char16_t* s, size_t n) {
        if (n != len)
            return false;
        for (size_t i = 0; i < n; ++i) {
            if (ZotFatName::ToUpper(s[i]) != upper[i])
                return false;
        }
        return true;
    };
    for (;;) {
        res = ReadSet(dp, set);
        if (res != FR_OK)
            return res;
        if (set.hasLfn && same(set.lfn, set.lfnLen))
            return FR_OK;
        char16_t sfn[12];
        size_t n = ZotFatName::ShortNameToUtf16(set.sfn, 0, sfn);
        if (n == 0)
            sfn[n++] = '_';
        if (same(sfn, n))
            return FR_OK;
        res = Next(dp, false);
        if (res != FR_OK)
            return res;
    }
}

FRESULT ZotFatDirectory::PickShortName(FF_DIR* dp, const char16_t* name, size_t len, uint8_t out[11],
                                       bool& needLong, uint8_t& ntCase) {
    ZotFatName::ShortName basis;
    ZotFatName::MakeShortName(name, len, basis);
    needLong = basis.needLong;
    ntCase = basis.ntCase;
    // One pass over the folder: does the basis itself exist, and which tail
    // numbers are taken for it?
    size_t baseLen = ZotFatName::BaseLength(basis.name);
    std::set<uint32_t> taken;
    bool collision = false;
    FRESULT res = Seek(dp, 0);
    while (res == FR_OK) {
        const uint8_t* e = Entry(dp);
        if (!e)
            return FR_DISK_ERR;
        if (e[0] == 0)
            break;
        if (e[0] != 0xE5 && !IsLabelOrLong(e)) {
            if (std::memcmp(e, basis.name, 11) == 0)
                collision = true;
            if (std::memcmp(e + 8, basis.name + 8, 3) == 0) {
                size_t tilde = 0;
                while (tilde < 8 && e[tilde] != '~')
                    ++tilde;
                uint32_t num = 0;
                size_t i = tilde + 1, digits = 0;
                while (i < 8 && e[i] >= '0' && e[i] <= '9' && digits < 7) {
                    num = num * 10 + (e[i] - '0');
                    ++i;
                    ++digits;
                }
                bool rest = true;
                for (size_t k = i; k < 8; ++k)
                    rest = rest && e[k] == ' ';
                size_t keep = baseLen < 7 - digits ? baseLen : 7 - digits;
                if (tilde < 8 && digits > 0 && rest && tilde == keep && std::memcmp(e, basis.name, keep) == 0)
                    taken.insert(num);
            }
        }
        res = Next(dp, false);
    }
    if (res != FR_OK && res != FR_NO_FILE)
        return res;
    if (!basis.lossy && !collision) {
        std::memcpy(out, basis.name, 11);
        return FR_OK;
    }
    needLong = true;
    ntCase = 0;
    uint32_t num = 1;
    while (taken.count(num))
        ++num;
    if (num > 999999)
        return FR_DENIED;
    ZotFatName::AddTail(basis.name, num, out);
    return FR_OK;
}

FRESULT ZotFatDirectory::Register(FF_DIR* dp, const char16_t* name, size_t len, uint8_t attr,
                                  uint32_t cluster, uint32_t time) {
    uint8_t sfn[11];
    bool needLong;
    uint8_t ntCase;
    FRESULT res = PickShortName(dp, name, len, sfn, needLong, ntCase);
    if (res != FR_OK)
        return res;
    uint32_t nLong = needLong ? uint32_t((len + 12) / 13) : 0;
    uint32_t total = nLong + 1;

    // Find `total` consecutive free entries, extending the folder if needed.
    uint32_t start = 0, run = 0;
    res = Seek(dp, 0);
    while (res == FR_OK) {
        const uint8_t* e = Entry(dp);
        if (!e)
            return FR_DISK_ERR;
        if (e[0] == 0 || e[0] == 0xE5) {
            if (run == 0)
                start = dp->index;
            if (++run == total)
                break;
        } else {
            run = 0;
        }
        res = Next(dp, true);
    }
    if (res != FR_OK)
        return res;

    res = Seek(dp, start);
    if (res != FR_OK)
        return res;
    uint8_t sum = ZotFatName::Checksum(sfn);
    for (uint32_t k = nLong; k >= 1; --k) {
        uint8_t* e = EntryForWrite(dp);
        if (!e)
            return FR_DISK_ERR;
        std::memset(e, 0, 32);
        e[0] = uint8_t(k | (k == nLong ? 0x40 : 0));
        e[11] = kAttrLongName;
        e[13] = sum;
        size_t at = (k - 1) * 13;
        for (int j = 0; j < 13; ++j, ++at) {
            uint16_t c = at < len ? uint16_t(name[at]) : at == len ? 0 : 0xFFFF;
            Store16(e + kLfnOffsets[j], c);
        }
        res = Next(dp, false);
        if (res != FR_OK)
            return res == FR_NO_FILE ? FR_INT_ERR : res;
    }
    uint8_t* e = EntryForWrite(dp);
    if (!e)
        return FR_DISK_ERR;
    std::memset(e, 0, 32);
    std::memcpy(e, sfn, 11);
    e[11] = attr;
    e[12] = ntCase;
    Store16(e + 14, uint16_t(time));
    Store16(e + 16, uint16_t(time >> 16));
    Store16(e + 18, uint16_t(time >> 16));
    Store16(e + 22, uint16_t(time));
    Store16(e + 24, uint16_t(time >> 16));
    SetEntryCluster(e, cluster);
    dp->blk_ofs = start;
    return FR_OK;
}

FRESULT ZotFatDirectory::RemoveSet(FF_DIR* dp) {
    uint32_t last = dp->index;
    FRESULT res = Seek(dp, dp->blk_ofs);
    while (res == FR_OK) {
        uint8_t* e = EntryForWrite(dp);
        if (!e)
            return FR_DISK_ERR;
        e[0] = 0xE5;
        if (dp->index >= last)
            break;
        res = Next(dp, false);
    }
    return res == FR_NO_FILE ? FR_INT_ERR : res;
}

FRESULT ZotFatDirectory::CheckEmpty(FATFS* fs, uint32_t sclust) {
    FF_DIR d;
    d.fs = fs;
    d.sclust = sclust;
    FRESULT res = Seek(&d, 0);
    while (res == FR_OK) {
        const uint8_t* e = Entry(&d);
        if (!e)
            return FR_DISK_ERR;
        if (e[0] == 0)
            return FR_OK;
        if (e[0] != 0xE5 && e[0] != '.' && !IsLabelOrLong(e))
            return FR_DENIED;
        res = Next(&d, false);
    }
    return res == FR_NO_FILE ? FR_OK : res;
}
