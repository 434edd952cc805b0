#pragma once
#include <cstddef>
#include <cstdint>

// Names on a FAT volume: UTF-8 (the caller's side) and UTF-16 (long names on
// disk), code page 437 for short names, upper-casing for case-insensitive
// comparison, short-name generation with "~N" tails and their checksum.
class ZotFatName {
public:
    // Decodes `len` bytes of UTF-8; false on malformed input or more than `cap` units.
    static bool Utf8ToUtf16(const char* s, size_t len, char16_t* out, size_t cap, size_t& outLen);
    // Encodes UTF-16 (lone surrogates become U+FFFD) as NUL-terminated UTF-8;
    // returns the bytes written without the NUL. `cap` includes the NUL.
    static size_t Utf16ToUtf8(const char16_t* s, size_t n, char* out, size_t cap);

    static char16_t ToUpper(char16_t c);
    // Code page 437 byte of a character; 0 when it has none.
    static uint8_t UnicodeToOem(char16_t c);
    static char16_t OemToUnicode(uint8_t b);

    // A long name the caller may create: no control characters nor "*/:<>?\|.
    static bool IsValidLongChar(char16_t c);
    // A name that is safe to hand out: not empty, not "." or "..", no '/',
    // '\' or control characters.
    static bool IsSafeName(const char16_t* s, size_t n);

    static uint8_t Checksum(const uint8_t sfn[11]);

    struct ShortName {
        uint8_t name[11]; // 8 + 3, space padded, first byte 0xE5 stored as 0x05
        bool lossy;       // the long name does not survive as a short name: a "~N" tail is needed
        bool needLong;    // a long-name entry is needed (lossy, mixed case, non-ASCII)
        uint8_t ntCase;   // lower-case flags of entry byte 12 when no long name is needed
    };
    // The short-name basis of a (valid, non-empty) long name.
    static void MakeShortName(const char16_t* s, size_t n, ShortName& out);
    // The basis with the tail "~num" (num >= 1) placed after the base.
    static void AddTail(const uint8_t basis[11], uint32_t num, uint8_t out[11]);
    // Length of the base part of an 11-byte short name (trailing spaces off).
    static size_t BaseLength(const uint8_t sfn[11]);
    // The short name as "NAME.EXT" in UTF-16, with the lower-case flags applied
    // and unsafe bytes shown as '_'; returns the length (at most 12).
    static size_t ShortNameToUtf16(const uint8_t sfn[11], uint8_t ntCase, char16_t out[12]);
};
