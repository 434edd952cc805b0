#include "sim/ZotSimDevice.h"

#include "sim/ZotSimIdentity.h"
#include "sim/ZotSimLink.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sstream>
#include <sys/mman.h>
#include <unistd.h>

namespace {
bool ParsePercent(std::string text, double& value) {
    if (!text.empty() && text.back() == '%')
        text.pop_back();
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end != text.c_str() && *end == '\0' && value >= 0.0 && value <= 100.0;
}

std::string Hex64(uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llX", static_cast<unsigned long long>(v));
    return text;
}

const char kHelp[] = "commands:\n"
                     "  status               identity, endpoints and counters\n"
                     "  screen               the target console as text\n"
                     "  keys                 number of keyboard reports received\n"
                     "  keyboard             keyboard state of the target\n"
                     "  mouse                pointer, buttons, wheel\n"
                     "  log [N]              the last N protocol events (default 50)\n"
                     "  unplug | replug      remove or restore the device and its registry entry\n"
                     "  noise PERCENT        corrupt that share of outgoing bytes\n"
                     "  drop PERCENT         drop that share of outgoing messages\n"
                     "  silent on|off        stop or resume answering\n"
                     "  version MAJOR.MINOR  message version of the next ToviInfo\n"
                     "  audio tone|silence   audio input content\n"
                     "  video WxH[@FPS]      camera mode\n"
                     "  type TEXT            type on the target's own keyboard\n"
                     "  edid                 last resolution code set through HID\n"
                     "  quit                 unplug and exit\n"
                     "\n";
} // namespace

ZotSimDevice::ZotSimDevice(const ZotSimOptions& options)
    : mOptions(options), mTarget(options.columns, options.rows), mCamera(mTarget, mLog) {
    mLog.SetEcho(options.verbose);
}

ZotSimDevice::~ZotSimDevice() {
    Shutdown();
}

std::string ZotSimDevice::ShmName(const char* stream) const {
    return "/zorvanetovi-sim-" + std::to_string(getpid()) + "-" + mId + "-" + stream;
}

// Shared-memory objects of simulators that died without cleaning up.
void ZotSimDevice::RemoveStaleShm() {
    DIR* dir = opendir("/dev/shm");
    if (dir == nullptr)
        return;
    const std::string prefix = "zorvanetovi-sim-";
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            shm_unlink(("/" + name).c_str());
    }
    closedir(dir);
}

bool ZotSimDevice::Start(std::string& error) {
    if (!mRegistry.Initialize(mOptions.runtimeDir, error))
        return false;
    RemoveStaleShm();
    mRegistry.RemoveStaleEntries();
    // Without --uid take the first id whose control socket nobody serves.
    for (int k = 0;; ++k) {
        mUid = mOptions.uidGiven ? mOptions.uid : ZotSimOptions::kDefaultUid + uint64_t(k);
        mId = ZotSimIdentity::MakeId(mUid, mOptions.avVersion.major, mOptions.avVersion.minor);
        if (mControl.Open(mRegistry.SocketPath(mId, ".ctl"), error))
            break;
        if (mOptions.uidGiven || k >= 255)
            return false;
    }
    mLog.Add("simulated Tovi %s (uid %s)", mId.c_str(), Hex64(mUid).c_str());
    if (!Plug(error)) {
        mControl.Close();
        return false;
    }
    return true;
}

void ZotSimDevice::Run() {
    mControl.Serve([this](const std::string& line) {
        std::string answer = HandleCommand(line);
        if (mQuit)
            mControl.Stop();
        return answer;
    });
}

void ZotSimDevice::Shutdown() {
    Unplug();
    mControl.Close();
}

bool ZotSimDevice::Plug(std::string& error) {
    if (mPlugged)
        return true;
    const std::string label = ZotSimIdentity::DeviceName(mId);
    mLink = std::make_unique<ZotSimLink>(mTarget, mLog, mOptions, mUid);
    if (!mLink->Start(error)) {
        mLink.reset();
        return false;
    }
    mSerialPath = mLink->GetSerialPath();
    if (mOptions.video && !mCamera.Start(ShmName("camera"), mOptions.width, mOptions.height, mOptions.fps,
                                         mOptions.videoSlots, label, error)) {
        mLink.reset();
        return false;
    }
    if (mOptions.audio && !mAudio.Start(ShmName("audio"), mOptions.toneHz, mOptions.tone, error)) {
        mCamera.Stop();
        mLink.reset();
        return false;
    }
    if (!mHid.Start(
            mRegistry.SocketPath(mId, ".hid"),
            [this](uint8_t code, bool known) {
                mLog.Add("hid: resolution code %u%s", code, known ? "" : " (unknown, refused)");
            },
            error) ||
        !mRegistry.Write(mId, RegistryJson(), error)) {
        mHid.Stop();
        mAudio.Stop();
        mCamera.Stop();
        mLink.reset();
        return false;
    }
    mPlugged = true;
    mLog.Add("plugged in: serial %s", mSerialPath.c_str());
    return true;
}

void ZotSimDevice::Unplug() {
    if (!mPlugged)
        return;
    mRegistry.Remove(mId);
    mHid.Stop();
    if (mLink)
        mLink->Stop();
    mLink.reset();
    mCamera.Stop();
    mAudio.Stop();
    mPlugged = false;
    mLog.Add("unplugged");
}

std::string ZotSimDevice::RegistryJson() const {
    nlohmann::json j;
    const std::string name = ZotSimIdentity::DeviceName(mId);
    j["format"] = 1;
    j["id"] = mId;
    j["uid"] = Hex64(mUid);
    j["pid"] = getpid();
    j["serial"] = mSerialPath;
    if (mOptions.video)
        j["camera"] = {{"name", name},
                       {"shm", ShmName("camera")},
                       {"format", "YUY2"},
                       {"width", mOptions.width},
                       {"height", mOptions.height},
                       {"fps", mOptions.fps}};
    if (mOptions.audio)
        j["audio"] = {{"name", name},
                      {"shm", ShmName("audio")},
                      {"format", "S16LE"},
                      {"rate", ZotSimAudio::kRate},
                      {"channels", ZotSimAudio::kChannels}};
    j["hid"] = {{"socket", mRegistry.SocketPath(mId, ".hid")},
                {"vendorId", 13407},
                {"productId", 8496},
                {"serial", mId}};
    j["control"] = mRegistry.SocketPath(mId, ".ctl");
    return j.dump(2);
}

std::string ZotSimDevice::Status() const {
    std::ostringstream s;
    s << "id: " << mId << "\n";
    s << "uid: " << Hex64(mUid) << "\n";
    s << "plugged: " << (mPlugged ? "yes" : "no") << "\n";
    s << "registry: " << (mPlugged ? mRegistry.EntryPath(mId) : std::string("-")) << "\n";
    s << "serial: " << (mPlugged ? mSerialPath : std::string("-")) << "\n";
    if (mLink)
        s << mLink->Status();
    s << "camera: " << (mCamera.IsRunning() ? mCamera.GetMode() : std::string("off")) << ", frames "
      << mCamera.GetFrameCount() << "\n";
    s << "audio: " << (mAudio.IsRunning() ? (mAudio.IsTone() ? "tone" : "silence") : "off") << ", blocks "
      << mAudio.GetBlockCount() << "\n";
    s << "edid code: " << mHid.GetLastCode() << "\n";
    s << "keyboard: " << mTarget.KeyboardStatus() << "\n";
    s << "mouse: " << mTarget.MouseStatus() << "\n";
    return s.str();
}

std::string ZotSimDevice::HandleCommand(const std::string& line) {
    std::istringstream in(line);
    std::string cmd, arg;
    in >> cmd;
    std::getline(in >> std::ws, arg);
    while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t'))
        arg.pop_back();
    if (cmd.empty())
        return "error: empty command (try 'help')\n";
    mLog.Add("control: %s", line.substr(0, 200).c_str());

    if (cmd == "help")
        return kHelp;
    if (cmd == "status")
        return Status() + "\n";
    if (cmd == "screen") {
        // Blank rows inside the screen go out as one space, so that the empty
        // line still ends the block.
        std::string text = mTarget.ScreenText(), answer;
        size_t start = 0;
        for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
            answer += nl == start ? std::string(" \n") : text.substr(start, nl - start + 1);
        return answer + "\n";
    }
    if (cmd == "keys")
        return std::to_string(mTarget.KeyboardReportCount()) + "\n";
    if (cmd == "keyboard")
        return mTarget.KeyboardStatus() + "\n";
    if (cmd == "mouse")
        return mTarget.MouseStatus() + "\n";
    if (cmd == "edid") {
        const int code = mHid.GetLastCode();
        return code < 0 ? std::string("none\n") : std::to_string(code) + "\n";
    }
    if (cmd == "log") {
        long count = 50;
        if (!arg.empty()) {
            char* end = nullptr;
            count = std::strtol(arg.c_str(), &end, 10);
            if (*end != '\0' || count < 1 || count > 100000)
                return "error: log takes a line count of 1 or more\n";
        }
        return mLog.Last(size_t(count)) + "\n";
    }
    if (cmd == "type") {
        if (arg.empty())
            return "error: type needs the text to type\n";
        mTarget.TypeText(arg);
        return "ok\n";
    }
    if (cmd == "unplug") {
        if (!mPlugged)
            return "error: already unplugged\n";
        Unplug();
        return "ok unplugged\n";
    }
    if (cmd == "replug") {
        if (mPlugged)
            return "error: already plugged in\n";
        std::string error;
        if (!Plug(error))
            return "error: " + error + "\n";
        return "ok plugged in, serial " + mSerialPath + "\n";
    }
    if (cmd == "quit") {
        mQuit = true;
        return "ok quitting\n";
    }
    if (cmd == "audio") {
        if (arg != "tone" && arg != "silence")
            return "error: audio takes 'tone' or 'silence'\n";
        mOptions.tone = arg == "tone";
        mAudio.SetTone(mOptions.tone);
        return "ok audio " + arg + "\n";
    }
    if (cmd == "video") {
        if (!mOptions.video)
            return "error: this simulated Tovi has no camera (--no-video)\n";
        int w = 0, h = 0, f = mOptions.fps;
        std::string error;
        if (!ZotSimOptions::ParseVideoMode(arg, w, h, f, error))
            return "error: " + error + "\n";
        if (mOptions.columns * 8 > w || (mOptions.rows + 1) * 13 > h)
            return "error: the console does not fit " + arg + "\n";
        mOptions.width = w;
        mOptions.height = h;
        mOptions.fps = f;
        mCamera.SetMode(w, h, f);
        if (mPlugged)
            mRegistry.Write(mId, RegistryJson(), error);
        return "ok video " + std::to_string(w) + "x" + std::to_string(h) + "@" + std::to_string(f) + "\n";
    }
    if (cmd == "noise" || cmd == "drop") {
        double percent = 0;
        if (!ParsePercent(arg, percent))
            return "error: " + cmd + " takes a percentage from 0 to 100\n";
        if (cmd == "noise")
            mOptions.noisePercent = percent;
        else
            mOptions.dropPercent = percent;
        if (mLink)
            mLink->SetFaults(mOptions.noisePercent, mOptions.dropPercent);
        char text[64];
        std::snprintf(text, sizeof text, "ok %s %g%%\n", cmd.c_str(), percent);
        return text;
    }
    if (cmd == "silent") {
        if (arg != "on" && arg != "off")
            return "error: silent takes 'on' or 'off'\n";
        mOptions.silent = arg == "on";
        if (mLink)
            mLink->SetSilent(mOptions.silent);
        return "ok silent " + arg + "\n";
    }
    if (cmd == "version") {
        ZotSimVersion v;
        if (!ZotSimOptions::ParseVersion(arg, v))
            return "error: version takes MAJOR.MINOR, e.g. 1.4\n";
        mOptions.messageVersion = v;
        if (mLink)
            mLink->SetMessageVersion(v);
        return "ok version " + arg + "\n";
    }
    return "error: unknown command '" + cmd + "' (try 'help')\n";
}
