#include "app/ZocVersion.h"

#include "app/ZocGlobals.h"

#include <cstdio>

ZocVersion ZocVersion::AppVersion(1, 2, 0);
ZocVersion ZocVersion::FirmwareVersion;
ZocVersion ZocVersion::AvFirmwareVersion;

ZocVersion::ZocVersion(int major, int minor, int patch) : major(major), minor(minor), patch(patch) {
    if (major != 0 || minor != 0)
        std::snprintf(text, sizeof(text), "%d.%d.%d", major, minor, patch);
}

ZocVersion::ZocVersion(int major, int minor) : major(major), minor(minor) {
    if (major != 0 || minor != 0)
        std::snprintf(text, sizeof(text), "%d.%d", major, minor);
}

ZocVersion::ZocVersion(char major, char minor) : major(Base36Digit(major)), minor(Base36Digit(minor)) {
    std::snprintf(text, sizeof(text), "%d.%d", this->major, this->minor);
}

int ZocVersion::Base36Digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 0;
}

bool ZocVersion::IsFirmwareLessThan(int major, int minor) {
    // Packed record fields: copy them out before comparing.
    int currentMajor = ZocGlobals::toviInfo.firmwareVersionMajor;
    int currentMinor = ZocGlobals::toviInfo.firmwareVersionMinor;
    return currentMajor < major || (currentMajor == major && currentMinor < minor);
}
