#include "sim/ZotSimKeyboard.h"

#include <algorithm>
#include <cstring>

namespace {
// Usages 0x1E..0x38 on a US layout: unshifted and shifted characters (0 = not a character).
constexpr char kPlain[] = "1234567890\0\0\0\0 -=[]\\\0;'`,./";
constexpr char kShifted[] = "!@#$%^&*()\0\0\0\0 _+{}|\0:\"~<>?";
constexpr uint8_t kFirstRow = 0x1E, kLastRow = 0x38;
constexpr uint8_t kErrorRollOver = 0x01;
constexpr uint8_t kShiftBits = 0x02 | 0x20, kCtrlBits = 0x01 | 0x10, kAltGuiBits = 0x04 | 0x40 | 0x08 | 0x80;
} // namespace

bool ZotSimKeyboard::UsageForChar(char c, uint8_t& usage, bool& shift) {
    if (c >= 'a' && c <= 'z') {
        usage = uint8_t(0x04 + (c - 'a'));
        shift = false;
        return true;
    }
    if (c >= 'A' && c <= 'Z') {
        usage = uint8_t(0x04 + (c - 'A'));
        shift = true;
        return true;
    }
    switch (c) {
    case '\n':
        usage = 0x28;
        shift = false;
        return true;
    case '\t':
        usage = 0x2B;
        shift = false;
        return true;
    case '\b':
        usage = 0x2A;
        shift = false;
        return true;
    default:
        break;
    }
    for (uint8_t u = kFirstRow; u <= kLastRow; ++u) {
        const size_t i = size_t(u - kFirstRow);
        if (c != 0 && kPlain[i] == c) {
            usage = u;
            shift = false;
            return true;
        }
        if (c != 0 && kShifted[i] == c) {
            usage = u;
            shift = true;
            return true;
        }
    }
    return false;
}

void ZotSimKeyboard::KeyDown(uint8_t usage, uint8_t modifiers) {
    ++mKeyDowns;
    const bool shift = (modifiers & kShiftBits) != 0;
    if (usage >= 0x04 && usage <= 0x1D) {
        if ((modifiers & kCtrlBits) != 0) {
            if (usage == 0x0F) // Ctrl+L clears the console
                mConsole.Clear();
            return;
        }
        if ((modifiers & kAltGuiBits) != 0)
            return;
        const bool upper = shift != mCapsLock;
        mConsole.PutChar(char((upper ? 'A' : 'a') + (usage - 0x04)));
        return;
    }
    if ((modifiers & (kCtrlBits | kAltGuiBits)) != 0 && usage >= kFirstRow && usage <= kLastRow &&
        usage != 0x2C)
        return;
    switch (usage) {
    case 0x28: // Enter
    case 0x58: // keypad Enter
        mConsole.Enter();
        return;
    case 0x2A:
        mConsole.Backspace();
        return;
    case 0x2B:
        mConsole.Tab();
        return;
    case 0x39:
        mCapsLock = !mCapsLock;
        return;
    case 0x4A:
        mConsole.Home();
        return;
    case 0x4D:
        mConsole.End();
        return;
    case 0x4F:
        mConsole.MoveCursor(1, 0);
        return;
    case 0x50:
        mConsole.MoveCursor(-1, 0);
        return;
    case 0x51:
        mConsole.MoveCursor(0, 1);
        return;
    case 0x52:
        mConsole.MoveCursor(0, -1);
        return;
    default:
        break;
    }
    if (usage >= kFirstRow && usage <= kLastRow) {
        const char c = (shift ? kShifted : kPlain)[usage - kFirstRow];
        if (c != 0)
            mConsole.PutChar(c);
        return;
    }
    if (usage >= 0x54 && usage <= 0x63) { // keypad with Num Lock on
        static constexpr char kKeypad[] = "/*-+\n1234567890.";
        const char c = kKeypad[usage - 0x54];
        if (c != '\n')
            mConsole.PutChar(c);
    }
}

void ZotSimKeyboard::ApplyReport(const uint8_t report[8]) {
    ++mReports;
    const uint8_t* keys = report + 2;
    if (std::find(keys, keys + 6, kErrorRollOver) != keys + 6)
        return;
    const uint8_t* before = mPrevious.data() + 2;
    for (int i = 0; i < 6; ++i)
        if (before[i] > kErrorRollOver && std::find(keys, keys + 6, before[i]) == keys + 6)
            ++mKeyUps;
    for (int i = 0; i < 6; ++i) {
        const uint8_t usage = keys[i];
        if (usage <= kErrorRollOver || std::find(before, before + 6, usage) != before + 6)
            continue;
        if (std::find(keys, keys + i, usage) != keys + i)
            continue; // the same usage twice in one report is one key
        KeyDown(usage, report[0]);
    }
    std::memcpy(mPrevious.data(), report, 8);
}

void ZotSimKeyboard::TypeText(std::string_view text) {
    static const uint8_t kUp[8] = {};
    const uint64_t reports = mReports;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            c = '\n';
        }
        uint8_t usage = 0;
        bool shift = false;
        if (static_cast<unsigned char>(c) >= 0x80) {
            // One '?' per UTF-8 character: skip its continuation bytes.
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
                ++i;
            c = '?';
        }
        if (!UsageForChar(c, usage, shift))
            continue;
        const uint8_t down[8] = {uint8_t(shift ? 0x02 : 0), 0, usage, 0, 0, 0, 0, 0};
        if (mPrevious != std::array<uint8_t, 8>{})
            ApplyReport(kUp); // keys still held by the host are released first
        ApplyReport(down);
        ApplyReport(kUp);
    }
    mReports = reports; // typed reports are the Tovi's own, not the host's
}

void ZotSimKeyboard::ReleaseAll() {
    static const uint8_t kUp[8] = {};
    const uint64_t reports = mReports;
    ApplyReport(kUp);
    mReports = reports;
}
