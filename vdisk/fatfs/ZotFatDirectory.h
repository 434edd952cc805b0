#pragma once
#include "vdisk/fatfs/ZotFatFs.h"

#include <cstddef>
#include <cstdint>

// Directories of a mounted volume: a cursor over 32-byte entries (FF_DIR),
// entry sets (long-name entries followed by their short entry), look-up by
// name, registration of new names and removal.
class ZotFatDirectory {
public:
    static constexpr uint32_t kMaxEntries = 65536; // 2 MiB of entries: bounds looping folders

    // One entry set as read from disk.
    struct EntrySet {
        uint8_t sfn[32];              // the short entry
        char16_t lfn[FF_LFN_MAX + 1]; // the long name, valid when hasLfn
        size_t lfnLen;
        bool hasLfn;
    };

    // Positions the cursor at entry `index` of the folder starting at dp->sclust.
    static FRESULT Seek(FF_DIR* dp, uint32_t index);
    // Moves to the next entry; with `stretch` a full folder is extended
    // (FR_DENIED when it cannot be). FR_NO_FILE past the end.
    static FRESULT Next(FF_DIR* dp, bool stretch);
    // The current entry's bytes (valid until the next cache access); null on a device error.
    static const uint8_t* Entry(FF_DIR* dp);
    static uint8_t* EntryForWrite(FF_DIR* dp);

    // Reads the next entry set from the cursor on (skipping free, dot and
    // label entries); leaves the cursor on its short entry and dp->blk_ofs at
    // its first entry. FR_NO_FILE at the end of the folder.
    static FRESULT ReadSet(FF_DIR* dp, EntrySet& set);
    // The name reported for a set (the long name, else the short one); never
    // empty, never unsafe. Returns the length in UTF-16 units.
    static size_t DisplayName(const EntrySet& set, char16_t* out);
    // Looks up `name` (case-insensitive, long or short form) in the folder.
    static FRESULT Find(FF_DIR* dp, const char16_t* name, size_t len, EntrySet& set);
    // Creates the entries for a new name (its absence checked by the caller);
    // leaves the cursor on the new short entry.
    static FRESULT Register(FF_DIR* dp, const char16_t* name, size_t len, uint8_t attr, uint32_t cluster,
                            uint32_t time);
    // Marks the entry set from dp->blk_ofs to the cursor as free.
    static FRESULT RemoveSet(FF_DIR* dp);
    // FR_OK when the folder starting at `sclust` holds nothing but dot
    // entries, FR_DENIED otherwise.
    static FRESULT CheckEmpty(FATFS* fs, uint32_t sclust);

    // The root folder's start (0 for the fixed FAT12/16 root).
    static uint32_t RootCluster(const FATFS* fs);
    // The first cluster an entry points to.
    static uint32_t EntryCluster(const FATFS* fs, const uint8_t* entry);
    static void SetEntryCluster(uint8_t* entry, uint32_t cluster);

    static uint16_t Load16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
    static uint32_t Load32(const uint8_t* p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static void Store16(uint8_t* p, uint16_t v) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
    }
    static void Store32(uint8_t* p, uint32_t v) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(v >> 24);
    }

private:
    static FRESULT PickShortName(FF_DIR* dp, const char16_t* name, size_t len, uint8_t out[11],
                                 bool& needLong, uint8_t& ntCase);
};
