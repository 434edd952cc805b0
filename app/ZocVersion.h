#pragma once
#include <cstddef>

// A version number with its printable text, made at construction. The text
// is a fixed array so that a version can be replaced on one thread while
// another prints it without any allocation in between.
class ZocVersion {
public:
    ZocVersion() = default;
    // Text "major.minor.patch"; empty when major and minor are both 0.
    ZocVersion(int major, int minor, int patch);
    // Text "major.minor"; empty when both are 0.
    ZocVersion(int major, int minor);
    // Each character is a base-36 digit ('0'-'9', 'a'-'z', 'A'-'Z'; anything
    // else counts 0). Text "major.minor", also for 0.0.
    ZocVersion(char major, char minor);

    const char* GetText() const { return text; }
    bool IsZero() const { return major == 0 && minor == 0 && patch == 0; }

    // The firmware of the Tovi's last information report (ZocGlobals::toviInfo)
    // is below major.minor. With no Tovi connected that version is 0.0.
    static bool IsFirmwareLessThan(int major, int minor);

    static int Base36Digit(char c);

    int major = 0;
    int minor = 0;
    int patch = 0;
    char text[40] = {};

    static ZocVersion AppVersion;        // 1.2.0
    static ZocVersion FirmwareVersion;   // the connected Tovi's firmware; 0.0 when none
    static ZocVersion AvFirmwareVersion; // its audio/video firmware, from its id; 0.0 when none
};
