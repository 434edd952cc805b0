#include "vdisk/fatfs/ZotFatName.h"

#include <cstring>

namespace {

// Code page 437, bytes 0x80-0xFF.
const char16_t kOemHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// Characters a short name may not hold (besides control characters).
bool IsShortNameForbidden(char16_t c) {
    return c < 0x20 || c == 0x7F || std::strchr("\"*+,./:;<=>?[\\]|", c) != nullptr;
}

bool IsAsciiLower(char16_t c) {
    return c >= 'a' && c <= 'z';
}
bool IsAsciiUpper(char16_t c) {
    return c >= 'A' && c <= 'Z';
}

} // namespace

bool ZotFatName::Utf8ToUtf16(const char* s, size_t len, char16_t* out, size_t cap, size_t& outLen) {
    const auto* p = reinterpret_cast<const uint8_t*>(s);
    size_t i = 0, o = 0;
    while (i < len) {
        uint32_t c = p[i];
        size_t extra;
        uint32_t min;
        if (c < 0x80) {
            extra = 0;
            min = 0;
        } else if ((c & 0xE0) == 0xC0) {
            c &= 0x1F;
            extra = 1;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            c &= 0x0F;
            extra = 2;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            c &= 0x07;
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        if (len - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            c = c << 6 | (p[i + k] & 0x3F);
        }
        i += extra + 1;
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        if (c >= 0x10000) {
            if (o + 2 > cap)
                return false;
            c -= 0x10000;
            out[o++] = char16_t(0xD800 | (c >> 10));
            out[o++] = char16_t(0xDC00 | (c & 0x3FF));
        } else {
            if (o + 1 > cap)
                return false;
            out[o++] = char16_t(c);
        }
    }
    outLen = o;
    return true;
}

size_t ZotFatName::Utf16ToUtf8(const char16_t* s, size_t n, char* out, size_t cap) {
    size_t o = 0;
    if (cap == 0)
        return 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        char buf[4];
        size_t k;
        if (c < 0x80) {
            buf[0] = char(c);
            k = 1;
        } else if (c < 0x800) {
            buf[0] = char(0xC0 | (c >> 6));
            buf[1] = char(0x80 | (c & 0x3F));
            k = 2;
        } else if (c < 0x10000) {
            buf[0] = char(0xE0 | (c >> 12));
            buf[1] = char(0x80 | ((c >> 6) & 0x3F));
            buf[2] = char(0x80 | (c & 0x3F));
            k = 3;
        } else {
            buf[0] = char(0xF0 | (c >> 18));
            buf[1] = char(0x80 | ((c >> 12) & 0x3F));
            buf[2] = char(0x80 | ((c >> 6) & 0x3F));
            buf[3] = char(0x80 | (c & 0x3F));
            k = 4;
        }
        if (o + k + 1 > cap)
            break;
        std::memcpy(out + o, buf, k);
        o += k;
    }
    out[o] = '\0';
    return o;
}

char16_t ZotFatName::ToUpper(char16_t c) {
    if (c < 0x80)
        return IsAsciiLower(c) ? char16_t(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return char16_t(c - 0x20);
    if (c == 0xFF)
        return 0x178;
    if (c == 0xB5)
        return 0x39C;
    if (c >= 0x100 && c <= 0x17F) {
        if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
            return (c & 1) ? char16_t(c - 1) : c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c : char16_t(c - 1);
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2)
        return char16_t(c - 0x20);
    if (c == 0x3C2)
        return 0x3A3;
    if (c >= 0x430 && c <= 0x44F)
        return char16_t(c - 0x20);
    if (c >= 0x450 && c <= 0x45F)
        return char16_t(c - 0x50);
    if (c >= 0xFF41 && c <= 0xFF5A)
        return char16_t(c - 0x20);
    return c;
}

uint8_t ZotFatName::UnicodeToOem(char16_t c) {
    if (c < 0x80)
        return uint8_t(c);
    for (int i = 0; i < 128; ++i) {
        if (kOemHigh[i] == c)
            return uint8_t(0x80 + i);
    }
    return 0;
}

char16_t ZotFatName::OemToUnicode(uint8_t b) {
    return b < 0x80 ? char16_t(b) : kOemHigh[b - 0x80];
}

bool ZotFatName::IsValidLongChar(char16_t c) {
    return c >= 0x20 && c != 0x7F && !(c < 0x80 && std::strchr("\"*/:<>?\\|", c) != nullptr);
}

bool ZotFatName::IsSafeName(const char16_t* s, size_t n) {
    if (n == 0)
        return false;
    if (s[0] == '.' && (n == 1 || (n == 2 && s[1] == '.')))
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (s[i] < 0x20 || s[i] == '/' || s[i] == '\\' || s[i] == 0x7F)
            return false;
    }
    return true;
}

uint8_t ZotFatName::Checksum(const uint8_t sfn[11]) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = uint8_t(((sum & 1) ? 0x80 : 0) + (sum >> 1) + sfn[i]);
    return sum;
}

void ZotFatName::MakeShortName(const char16_t* s, size_t n, ShortName& out) {
    std::memset(out.name, ' ', 11);
    out.lossy = false;
    out.needLong = false;
    out.ntCase = 0;

    size_t start = 0;
    while (start < n && (s[start] == ' ' || s[start] == '.'))
        ++start;
    if (start > 0)
        out.lossy = true;
    size_t dot = n;
    for (size_t i = n; i > start; --i) {
        if (s[i - 1] == '.') {
            dot = i - 1;
            break;
        }
    }

    bool lower[2] = {false, false}, upper[2] = {false, false};
    // part 0 = base (up to 8), part 1 = extension (up to 3)
    for (int part = 0; part < 2; ++part) {
        size_t from = part == 0 ? start : (dot < n ? dot + 1 : n);
        size_t to = part == 0 ? dot : n;
        size_t limit = part == 0 ? 8 : 3;
        size_t at = 0;
        for (size_t i = from; i < to; ++i) {
            char16_t c = s[i];
            if (c == ' ' || c == '.') {
                out.lossy = true;
                continue;
            }
            if (at >= limit) {
                out.lossy = true;
                break;
            }
            uint8_t b;
            if (c >= 0x80) {
                out.needLong = true;
                b = UnicodeToOem(ToUpper(c));
                if (b == 0) {
                    b = '_';
                    out.lossy = true;
                }
            } else if (IsShortNameForbidden(c)) {
                b = '_';
                out.lossy = true;
            } else {
                lower[part] |= IsAsciiLower(c);
                upper[part] |= IsAsciiUpper(c);
                b = uint8_t(ToUpper(c));
            }
            out.name[(part == 0 ? 0 : 8) + at++] = b;
        }
    }
    if (out.name[0] == ' ') {
        out.name[0] = '_';
        out.lossy = true;
    }
    if (out.name[0] == 0xE5)
        out.name[0] = 0x05;
    if (out.lossy || (lower[0] && upper[0]) || (lower[1] && upper[1]))
        out.needLong = true;
    if (!out.needLong) {
        if (lower[0])
            out.ntCase |= 0x08;
        if (lower[1])
            out.ntCase |= 0x10;
    }
}

size_t ZotFatName::BaseLength(const uint8_t sfn[11]) {
    size_t len = 8;
    while (len > 0 && sfn[len - 1] == ' ')
        --len;
    return len;
}

void ZotFatName::AddTail(const uint8_t basis[11], uint32_t num, uint8_t out[11]) {
    char digits[12];
    int nd = 0;
    do {
        digits[nd++] = char('0' + num % 10);
        num /= 10;
    } while (num && nd < 7);
    std::memcpy(out, basis, 11);
    size_t keep = BaseLength(basis);
    if (keep > size_t(7 - nd))
        keep = size_t(7 - nd);
    size_t at = keep;
    out[at++] = '~';
    while (nd > 0)
        out[at++] = uint8_t(digits[--nd]);
    while (at < 8)
        out[at++] = ' ';
}

size_t ZotFatName::ShortNameToUtf16(const uint8_t sfn[11], uint8_t ntCase, char16_t out[12]) {
    size_t o = 0;
    auto put = [&](uint8_t b, bool lower) {
        char16_t c = OemToUnicode(b);
        if (c < 0x20 || c == '/' || c == '\\' || c == 0x7F)
            c = '_';
        if (lower && IsAsciiUpper(c))
            c = char16_t(c + 0x20);
        out[o++] = c;
    };
    size_t base = BaseLength(sfn);
    for (size_t i = 0; i < base; ++i)
        put(i == 0 && sfn[0] == 0x05 ? 0xE5 : sfn[i], ntCase & 0x08);
    size_t ext = 3;
    while (ext > 0 && sfn[8 + ext - 1] == ' ')
        --ext;
    if (ext > 0) {
        out[o++] = '.';
        for (size_t i = 0; i < ext; ++i)
            put(sfn[8 + i], ntCase & 0x10);
    }
    return o;
}
