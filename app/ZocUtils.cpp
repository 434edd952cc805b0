#include "app/ZocUtils.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"

#include <SDL.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <imgui.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

// ---------------------------------------------------------------- String

std::string ZocUtils::String::CombinePath(const std::string& folder, const std::string& name) {
    if ((!folder.empty() && folder.back() == '/') || (!name.empty() && name.front() == '/'))
        return folder + name;
    return folder + "/" + name;
}

bool ZocUtils::String::BeginsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool ZocUtils::String::Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ZocUtils::String::GetLastBracedString(const std::string& text) {
    size_t open = text.rfind('(');
    if (open == std::string::npos || open == 0)
        return {};
    size_t close = text.find(')', open + 1);
    if (close == std::string::npos)
        return {};
    return text.substr(open + 1, close - open - 1);
}

std::string ZocUtils::String::GetCompactDateTimeString() {
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::snprintf(text, sizeof(text), "%4d%02d%02d_%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::u16string ZocUtils::String::AnsiToUtf16(const std::string& text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (unsigned char c : text)
        wide.push_back(char16_t(c));
    return wide;
}

// ---------------------------------------------------------------- Os

std::string ZocUtils::Os::GetCPUArchitecture() {
    utsname name{};
    if (uname(&name) != 0 || name.machine[0] == 0)
        return "Unknown";
    return name.machine;
}

ZocUtils::Os::KeyboardLayout ZocUtils::Os::KeyboardLayoutFromName(const std::string& layout) {
    if (layout.empty()) {
        ZocLog::Keyboard().Error("Failed to get the current keyboard layout input source.");
        return Unknown;
    }
    // "de(nodeadkeys)" and "de" are both German.
    std::string base = layout.substr(0, layout.find('('));
    struct Entry {
        const char* name;
        KeyboardLayout layout;
    };
    static const Entry kLayouts[] = {{"us", US}, {"gb", British}, {"de", German}, {"fr", French}};
    for (const Entry& entry : kLayouts)
        if (base == entry.name)
            return entry.layout;
    ZocLog::Keyboard().Info("Unsupported keyboard layout: %s", layout.c_str());
    return Unknown;
}

namespace {
// The layout name ("us", "de(nodeadkeys)") of the X server's current keyboard
// group, from the XKB rules names on the root window; empty when unknown.
std::string CurrentXkbLayoutName() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return {};
    std::string result;
    XkbStateRec state{};
    int group = 0;
    if (XkbGetState(display, XkbUseCoreKbd, &state) == Success)
        group = state.group;
    Atom rulesAtom = XInternAtom(display, "_XKB_RULES_NAMES", True);
    if (rulesAtom != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), rulesAtom, 0, 1024, False, XA_STRING,
                               &type, &format, &count, &after, &data) == Success &&
            data && format == 8) {
            // rules \0 model \0 layouts \0 variants \0 options
            std::vector<std::string> fields;
            std::string field;
            for (unsigned long i = 0; i < count; ++i) {
                if (data[i] == 0) {
                    fields.push_back(field);
                    field.clear();
                } else {
                    field.push_back(char(data[i]));
                }
            }
            fields.push_back(field);
            auto nth = [](const std::string& list, int index) {
                size_t start = 0;
                for (int i = 0; i < index; ++i) {
                    start = list.find(',', start);
                    if (start == std::string::npos)
                        return std::string();
                    ++start;
                }
                return list.substr(start, list.find(',', start) - start);
            };
            if (fields.size() > 2) {
                result = nth(fields[2], group);
                std::string variant = fields.size() > 3 ? nth(fields[3], group) : std::string();
                if (!result.empty() && !variant.empty())
                    result += "(" + variant + ")";
            }
        }
        if (data)
            XFree(data);
    }
    XCloseDisplay(display);
    return result;
}
} // namespace

ZocUtils::Os::KeyboardLayout ZocUtils::Os::GetKeyboardLayout() {
    return KeyboardLayoutFromName(CurrentXkbLayoutName());
}

std::string ZocUtils::Os::GetCurrentExeFolder() {
    char path[PATH_MAX];
    if (!realpath("/proc/self/exe", path))
        return ".";
    std::string folder = path;
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : folder.substr(0, slash);
}

std::string ZocUtils::Os::GetLibraryPath(const std::string& name) {
    return String::CombinePath(GetCurrentExeFolder(), "lib" + name + ".so");
}

std::string ZocUtils::Os::GetHomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

bool ZocUtils::Os::GetUserFolder(UserFolder which, std::string& folder, std::string& error) {
    const char* key = which == UserFolder::Pictures ? "XDG_PICTURES_DIR"
                      : which == UserFolder::Videos ? "XDG_VIDEOS_DIR"
                                                    : "XDG_DOWNLOAD_DIR";
    std::string home = GetHomeFolder();
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string file =
        (configHome && *configHome ? std::string(configHome) : home + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    if (!in) {
        error = "cannot read " + file;
        return false;
    }
    // Lines look like: XDG_PICTURES_DIR="$HOME/Pictures"
    std::string line;
    while (std::getline(in, line)) {
        if (!String::BeginsWith(line, std::string(key) + "="))
            continue;
        std::string value = line.substr(std::string(key).size() + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (String::BeginsWith(value, "$HOME"))
            value = home + value.substr(5);
        if (value.empty() || value.front() != '/') {
            error = std::string(key) + " in " + file + " is not an absolute folder";
            return false;
        }
        folder = value;
        return true;
    }
    error = std::string(key) + " is not set in " + file;
    return false;
}

// ---------------------------------------------------------------- RefreshRateCounter

uint32_t ZocUtils::RefreshRateCounter::sCallsSinceCheck = 0;
uint32_t ZocUtils::RefreshRateCounter::sReportsSinceInfo = 0;

ZocUtils::RefreshRateCounter::RefreshRateCounter(const char* name, uint32_t checkEvery,
                                                 uint32_t intervalSeconds)
    : mName(name ? name : ""), mCheckEvery(checkEvery), mIntervalMs(intervalSeconds * 1000) {}

void ZocUtils::RefreshRateCounter::OnRefresh() {
    OnRefresh(SDL_GetTicks64());
}

void ZocUtils::RefreshRateCounter::OnRefresh(uint64_t nowMs) {
    // Measured from the first frame, not from construction.
    if (mCount == 0 && mLastCheckMs == 0)
        mLastCheckMs = nowMs;
    ++mCount;
    if (sCallsSinceCheck++ < mCheckEvery)
        return;
    sCallsSinceCheck = 0;
    uint64_t elapsed = nowMs - mLastCheckMs;
    if (elapsed < mIntervalMs || elapsed == 0)
        return;
    double rate = double(mCount) * 1000.0 / double(elapsed);
    if (++sReportsSinceInfo <= 10) {
        ZocLog::System().Debug("%s refresh rate: %.1f", mName.c_str(), rate);
    } else {
        // Every eleventh report says what the GUI library measures.
        sReportsSinceInfo = 0;
        if (ImGui::GetCurrentContext())
            rate = ImGui::GetIO().Framerate;
        ZocLog::System().Info("%s refresh rate: %.1f", mName.c_str(), rate);
    }
    mCount = 0;
    mLastCheckMs = nowMs;
}

// ---------------------------------------------------------------- settings-derived

bool ZocUtils::IsUsbCdcEnabledOnHost() {
    uint32_t enabled = ZocSettings::Instance().toviConfig.features.enabledList;
    return (enabled & (1u << 1)) != 0;
}

bool ZocUtils::IsUsbCdcEnabledOnTovi() {
    uint32_t features = ZocGlobals::toviInfo.features;
    return (features & ZoMsg::Body::ToviInfo::kFeatureUsbCdc) != 0;
}

int ZocUtils::GetDesiredCommWaitTimeout(int ms) {
    switch (ZocSettings::Instance().device.comm.baudRate) {
    case 1500000:
        return ms * 3 / 2;
    case 921600:
        return ms * 2;
    default:
        return ms;
    }
}
