#include "sim/ZotSimOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {
bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& value, int base = 0) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, base);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > max)
        return false;
    value = v;
    return true;
}

constexpr struct {
    int w, h;
} kSizes[] = {{1920, 1080}, {1280, 1024}, {1280, 960}, {1280, 720}, {1024, 768}, {800, 600}, {640, 480}};
} // namespace

bool ZotSimOptions::IsSupportedSize(int width, int height) {
    for (const auto& s : kSizes)
        if (s.w == width && s.h == height)
            return true;
    return false;
}

bool ZotSimOptions::ParseVersion(const std::string& text, ZotSimVersion& version) {
    const size_t dot = text.find('.');
    uint64_t major = 0, minor = 0;
    if (dot == std::string::npos || !ParseUnsigned(text.substr(0, dot), 65535, major, 10) ||
        !ParseUnsigned(text.substr(dot + 1), 65535, minor, 10))
        return false;
    version = {uint16_t(major), uint16_t(minor)};
    return true;
}

bool ZotSimOptions::ParseVideoMode(const std::string& text, int& width, int& height, int& fps,
                                   std::string& error) {
    const size_t x = text.find('x'), at = text.find('@');
    uint64_t w = 0, h = 0, f = uint64_t(fps);
    const std::string hText = text.substr(x == std::string::npos ? 0 : x + 1,
                                          at == std::string::npos ? std::string::npos : at - x - 1);
    if (x == std::string::npos || !ParseUnsigned(text.substr(0, x), 10000, w, 10) ||
        !ParseUnsigned(hText, 10000, h, 10) ||
        (at != std::string::npos && !ParseUnsigned(text.substr(at + 1), 1000, f, 10))) {
        error = "malformed video mode '" + text + "' (expected WIDTHxHEIGHT[@FPS], e.g. 1920x1080@60)";
        return false;
    }
    if (!IsSupportedSize(int(w), int(h))) {
        error = "unsupported frame size " + text +
                " (1920x1080, 1280x1024, 1280x960, 1280x720, 1024x768, 800x600 or 640x480)";
        return false;
    }
    if (f < 1 || f > 120) {
        error = "frame rate must be 1 to 120";
        return false;
    }
    width = int(w);
    height = int(h);
    fps = int(f);
    return true;
}

std::string ZotSimOptions::Help() {
    return R"(Usage: tovi-sim [OPTIONS]
       tovi-sim ctl [--id ID] [--runtime-dir DIR] COMMAND [ARGS...]

Simulates a plugged-in Tovi: a pseudo-terminal speaking the control protocol,
a camera (YUY2 frames) and an audio input (48 kHz stereo) in shared memory, the
HID resolution endpoint and a control socket, all listed in the runtime
registry ($XDG_RUNTIME_DIR/zorvanetovi/devices/ID.json). Runs until `quit`,
SIGINT or SIGTERM; removes its registry entry on exit.

Identity:
  --uid HEX               unique id (default: the first id not in use)
  --board NAME            board name (default "Tovi Simulator")
  --msg-version M.N       ToviInfo message version (default 1.4)
  --fw-version M.N        firmware version (default 1.24)
  --fw-label TEXT         firmware label (default "sim", at most 20 bytes)
  --boot-version M.N      boot loader version (default 1.2)
  --boot-label TEXT       boot loader label (default "sim-boot")
  --av-version M.N        A/V firmware version, digits 9-10 of the id (default 1.7; 0..35 each)
  --sku N                 sku (default 1)
  --features HEX          feature bits (default 0x2: USB serial toward the target)
  --temperature C         reported temperature (default 42)
Target and media:
  --console COLSxROWS     target console size (default 80x25, at least 80x25)
  --video WxH[@FPS]       camera mode (default 1920x1080@60); sizes 1920x1080,
                          1280x1024, 1280x960, 1280x720, 1024x768, 800x600, 640x480
  --video-slots N         frames in the shared-memory ring (default 8, 3..64)
  --no-video, --no-audio  do not offer the camera or the audio input
  --silence               start the audio input silent (default: a steady tone)
  --tone HZ               tone frequency (default 440)
Other:
  --runtime-dir DIR       registry and socket folder (default $XDG_RUNTIME_DIR/zorvanetovi,
                          or /tmp/zorvanetovi-UID)
  -v, --verbose           print protocol events to standard error
  -h, --help              this text
  --version               program version

Control commands (control socket, or `tovi-sim ctl COMMAND`):
  status | screen | keys | mouse | log [N] | unplug | replug | noise PERCENT |
  drop PERCENT | silent on|off | version MAJOR.MINOR | audio tone|silence |
  video WxH[@FPS] | type TEXT | edid | help | quit
)";
}

ZotSimOptions::Outcome ZotSimOptions::Parse(int argc, char** argv, int first, std::string& error) {
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help")
            return Outcome::Help;
        if (arg == "--version")
            return Outcome::Version;
        if (arg == "-v" || arg == "--verbose") {
            verbose = true;
            continue;
        }
        if (arg == "--no-video") {
            video = false;
            continue;
        }
        if (arg == "--no-audio") {
            audio = false;
            continue;
        }
        if (arg == "--silence") {
            tone = false;
            continue;
        }
        static const char* const kWithValue[] = {
            "--uid",      "--board",        "--msg-version", "--fw-version",
            "--fw-label", "--boot-version", "--boot-label",  "--av-version",
            "--sku",      "--features",     "--temperature", "--console",
            "--video",    "--video-slots",  "--tone",        "--runtime-dir"};
        bool known = false;
        for (const char* name : kWithValue)
            known = known || arg == name;
        if (!known) {
            error = "unknown option '" + arg + "' (see --help)";
            return Outcome::Error;
        }
        if (i + 1 >= argc) {
            error = "option " + arg + " needs a value (see --help)";
            return Outcome::Error;
        }
        const std::string value = argv[++i];
        uint64_t n = 0;
        bool ok = true;
        if (arg == "--uid") {
            ok = ParseUnsigned(value, UINT64_MAX, n, 16) && n != 0;
            uid = n;
            uidGiven = true;
        } else if (arg == "--board") {
            ok = !value.empty() && value.size() < 64;
            board = value;
        } else if (arg == "--msg-version") {
            ok = ParseVersion(value, messageVersion);
        } else if (arg == "--fw-version") {
            ok = ParseVersion(value, firmwareVersion);
        } else if (arg == "--boot-version") {
            ok = ParseVersion(value, bootVersion);
        } else if (arg == "--fw-label") {
            ok = value.size() <= 20;
            firmwareLabel = value;
        } else if (arg == "--boot-label") {
            ok = value.size() <= 20;
            bootLabel = value;
        } else if (arg == "--av-version") {
            ok = ParseVersion(value, avVersion) && avVersion.major < 36 && avVersion.minor < 36;
        } else if (arg == "--sku") {
            ok = ParseUnsigned(value, 255, n);
            sku = uint8_t(n);
        } else if (arg == "--features") {
            ok = ParseUnsigned(value, UINT32_MAX, n, 16);
            features = uint32_t(n);
        } else if (arg == "--temperature") {
            ok = ParseUnsigned(value, 255, n, 10);
            temperature = uint8_t(n);
        } else if (arg == "--console") {
            const size_t x = value.find('x');
            uint64_t c = 0, r = 0;
            ok = x != std::string::npos && ParseUnsigned(value.substr(0, x), 240, c, 10) &&
                 ParseUnsigned(value.substr(x + 1), 80, r, 10) && c >= 80 && r >= 25;
            columns = int(c);
            rows = int(r);
        } else if (arg == "--video") {
            std::string why;
            if (!ParseVideoMode(value, width, height, fps, why)) {
                error = "--video: " + why;
                return Outcome::Error;
            }
        } else if (arg == "--video-slots") {
            ok = ParseUnsigned(value, 64, n, 10) && n >= 3;
            videoSlots = int(n);
        } else if (arg == "--tone") {
            ok = ParseUnsigned(value, 20000, n, 10) && n >= 20;
            toneHz = int(n);
        } else if (arg == "--runtime-dir") {
            ok = !value.empty() && value[0] == '/';
            runtimeDir = value;
        }
        if (!ok) {
            error = "invalid value '" + value + "' for " + arg + " (see --help)";
            return Outcome::Error;
        }
    }
    if (columns * 8 > width || (rows + 1) * 13 > height) {
        error = "the console does not fit the video frame; choose a larger --video or a smaller --console";
        return Outcome::Error;
    }
    return Outcome::Run;
}
