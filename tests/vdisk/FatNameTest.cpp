// Short-name generation and the UTF-8/UTF-16 conversion.
#include "vdisk/fatfs/ZotFatName.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::u16string U16(const char* utf8) {
    char16_t buf[300];
    size_t n = 0;
    EXPECT_TRUE(ZotFatName::Utf8ToUtf16(utf8, std::strlen(utf8), buf, 300, n)) << utf8;
    return std::u16string(buf, n);
}

} // namespace

TEST(FatName, ShortNameBasis) {
    struct Case {
        const char* longName;
        const char* sfn; // 11 bytes, as on disk
        bool lossy;
        bool needLong;
        uint8_t ntCase;
    };
    const Case cases[] = {
        {"README.TXT", "README  TXT", false, false, 0},
        {"readme.txt", "README  TXT", false, false, 0x18},
        {"readme.TXT", "README  TXT", false, false, 0x08},
        {"ReadMe.txt", "README  TXT", false, true, 0},
        {"A very long name.text", "AVERYLONTEX", true, true, 0},
        {"a+b,c;d=e[f].txt", "A_B_C_D_TXT", true, true, 0},
        {".hidden", "HIDDEN     ", true, true, 0},
        {"archive.tar.gz", "ARCHIVETGZ ", true, true, 0},
        {"Grüße.txt",
         "GR\x9A\xE1"
         "E   TXT",
         false, true, 0},
        {"日本.txt", "__      TXT", true, true, 0},
        {"NOEXT", "NOEXT      ", false, false, 0},
    };
    for (const Case& c : cases) {
        std::u16string name = U16(c.longName);
        ZotFatName::ShortName sn;
        ZotFatName::MakeShortName(name.data(), name.size(), sn);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(sn.name), 11), std::string(c.sfn, 11)) << c.longName;
        EXPECT_EQ(sn.lossy, c.lossy) << c.longName;
        EXPECT_EQ(sn.needLong, c.needLong) << c.longName;
        EXPECT_EQ(sn.ntCase, c.ntCase) << c.longName;
    }
}

TEST(FatName, NumericTailShortensTheBase) {
    const uint8_t* basis = reinterpret_cast<const uint8_t*>("AVERYLONTEX");
    const uint8_t* shortBasis = reinterpret_cast<const uint8_t*>("AB      TXT");
    uint8_t out[11];
    ZotFatName::AddTail(basis, 1, out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 11), "AVERYL~1TEX");
    ZotFatName::AddTail(basis, 12345, out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 11), "AV~12345TEX");
    ZotFatName::AddTail(shortBasis, 7, out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 11), "AB~7    TXT");
}

TEST(FatName, Utf8RoundTripAndRejects) {
    std::u16string emoji = U16("a😀é");
    EXPECT_EQ(emoji, (std::u16string{u'a', 0xD83D, 0xDE00, 0xE9}));
    char out[32];
    ZotFatName::Utf16ToUtf8(emoji.data(), emoji.size(), out, sizeof out);
    EXPECT_STREQ(out, "a😀é");
    // A lone surrogate from disk becomes U+FFFD.
    char16_t lone[] = {u'x', 0xD800};
    ZotFatName::Utf16ToUtf8(lone, 2, out, sizeof out);
    EXPECT_STREQ(out, "x\xEF\xBF\xBD");

    char16_t buf[8];
    size_t n;
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(ZotFatName::Utf8ToUtf16(bad, std::strlen(bad), buf, 8, n)) << bad;
    EXPECT_FALSE(ZotFatName::Utf8ToUtf16("123456789", 9, buf, 8, n)); // too long for the buffer
}

TEST(FatName, UnsafeNamesAreRecognised) {
    for (const char* bad : {".", "..", "a/b", "..\\x", "tab\there"}) {
        std::u16string s;
        for (const char* p = bad; *p; ++p)
            s.push_back(char16_t(*p));
        EXPECT_FALSE(ZotFatName::IsSafeName(s.data(), s.size())) << bad;
    }
    std::u16string ok = u"...dots";
    EXPECT_TRUE(ZotFatName::IsSafeName(ok.data(), ok.size()));
}
