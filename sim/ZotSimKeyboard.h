#pragma once
#include "sim/ZotSimConsole.h"

#include <array>
#include <cstdint>
#include <string_view>

// The target's view of the Tovi's USB boot keyboard: each 8-byte input report
// (modifier bits, reserved byte, six usage slots) is compared with the previous
// one; keys that newly appear are key-downs and are typed on the console with
// a US layout, keys that disappear are key-ups. The target keeps its own Caps
// Lock state, toggled by the Caps Lock key-down. A report with ErrorRollOver
// (usage 1) in its slots leaves the state unchanged, as a host driver does.
class ZotSimKeyboard {
public:
    explicit ZotSimKeyboard(ZotSimConsole& console) : mConsole(console) {}

    void ApplyReport(const uint8_t report[8]);
    // Types text as the Tovi does for PasteText: a key-down report and an
    // all-released report per character ("\r\n", "\r" and "\n" are Enter).
    void TypeText(std::string_view text);
    // All keys up (the Tovi's reset or disconnect).
    void ReleaseAll();

    uint64_t GetReportCount() const { return mReports; }
    uint64_t GetKeyDownCount() const { return mKeyDowns; }
    uint64_t GetKeyUpCount() const { return mKeyUps; }
    uint8_t GetModifiers() const { return mPrevious[0]; }
    bool IsCapsLock() const { return mCapsLock; }

    // US layout: the usage and shift state that type `c`; false when no key does.
    static bool UsageForChar(char c, uint8_t& usage, bool& shift);

private:
    void KeyDown(uint8_t usage, uint8_t modifiers);

    ZotSimConsole& mConsole;
    std::array<uint8_t, 8> mPrevious{};
    bool mCapsLock = false;
    uint64_t mReports = 0, mKeyDowns = 0, mKeyUps = 0;
};
