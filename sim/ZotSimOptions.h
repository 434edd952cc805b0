#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Command-line options of tovi-sim, with their defaults.
struct ZotSimVersion {
    uint16_t major = 0, minor = 0;
};

class ZotSimOptions {
public:
    enum class Outcome { Run, Help, Version, Error };

    // Identity (ToviInfo and the A/V id)
    uint64_t uid = 0; // 0: the first free id from kDefaultUid on
    bool uidGiven = false;
    std::string board = "Tovi Simulator";
    ZotSimVersion messageVersion{1, 4};
    ZotSimVersion bootVersion{1, 2};
    std::string bootLabel = "sim-boot";
    ZotSimVersion firmwareVersion{1, 24};
    std::string firmwareLabel = "sim";
    ZotSimVersion avVersion{1, 7};
    uint8_t sku = 1;
    uint32_t features = 0x2;
    uint8_t temperature = 42;
    // Target and media
    int columns = 80, rows = 25;
    int width = 1920, height = 1080, fps = 60;
    int videoSlots = 8;
    bool video = true, audio = true;
    bool tone = true;
    int toneHz = 440;
    // Where the registry, sockets live ("" = $XDG_RUNTIME_DIR/zorvanetovi, else /tmp/zorvanetovi-UID)
    std::string runtimeDir;
    bool verbose = false;
    // Link faults (also changed at run time by control commands)
    double noisePercent = 0, dropPercent = 0;
    bool silent = false;

    static constexpr uint64_t kDefaultUid = 0x5A4F54564953494DULL; // "MISIVTOZ" little-endian

    // Parses argv[first..argc). `error` is set for Outcome::Error.
    Outcome Parse(int argc, char** argv, int first, std::string& error);
    static std::string Help();

    // "W x H" sizes the camera offers (the application's frame sizes).
    static bool IsSupportedSize(int width, int height);
    static bool ParseVersion(const std::string& text, ZotSimVersion& version);
    // "1920x1080@60", "1280x720" (rate unchanged); false when malformed or unsupported.
    static bool ParseVideoMode(const std::string& text, int& width, int& height, int& fps,
                               std::string& error);
};
