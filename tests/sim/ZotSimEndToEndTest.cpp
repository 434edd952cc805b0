// Drives the real tovi-sim program: through its pseudo-terminal with the
// project's frame buffers, its control socket, its HID socket and its
// shared-memory streams.
#include "sim/SimProcess.h"
#include "sim/ZotSimControl.h"
#include "sim/ZotSimIdentity.h"
#include "sim/ZotSimMediaReader.h"

#include "device/protocol/ZoMsg.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZoMsgOutBuffer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
using ZoMsg::Type;
namespace Body = ZoMsg::Body;

// The application's side of the serial link, with the project's buffers.
class Port {
public:
    struct Owner {
        bool PrePushPacket(ZoMsg::Type, size_t) { return true; }
        void PostPushPacket(bool) {}
    };
    struct Message {
        ZoMsg::Head head;
        std::vector<uint8_t> body;
    };

    explicit Port(const std::string& path) : mOut(mOwner) {
        mFd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }
    ~Port() {
        if (mFd >= 0)
            close(mFd);
    }
    bool IsOpen() const { return mFd >= 0; }
    int Fd() const { return mFd; }

    template <typename R> void Send(Type type, const R& record) {
        mOut.PushPacket(type, record);
        Flush();
    }
    void SendBytes(Type type, const std::string& bytes) {
        mOut.PushPacketWithBuffer(type, nullptr, bytes.size(), bytes.data());
        Flush();
    }
    // Reads for `ms` milliseconds (or until `until` holds), collecting messages.
    template <typename F> void Pump(int ms, F until) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end && !until()) {
            pollfd p{mFd, POLLIN, 0};
            poll(&p, 1, 5);
            uint8_t buf[4096];
            const ssize_t n = read(mFd, buf, sizeof buf);
            if (n > 0) {
                mIn.Push(buf, size_t(n));
                Message m;
                while (mIn.PopMessage(m.head, m.body))
                    mMessages.push_back(std::move(m));
            }
        }
    }
    void Pump(int ms) {
        Pump(ms, [] { return false; });
    }
    // Waits for the next message of `type` after the ones already taken.
    bool WaitFor(Type type, Message& out, int ms = 3000) {
        auto find = [&] {
            for (size_t i = mTaken; i < mMessages.size(); ++i)
                if (mMessages[i].head.type == ZoMsg::ToU16(type)) {
                    out = mMessages[i];
                    mTaken = i + 1;
                    return true;
                }
            return false;
        };
        bool found = false;
        Pump(ms, [&] { return found = found || find(); });
        return found || find();
    }
    size_t Count(Type type) const {
        size_t n = 0;
        for (const Message& m : mMessages)
            n += m.head.type == ZoMsg::ToU16(type);
        return n;
    }
    void Forget() {
        mMessages.clear();
        mTaken = 0;
    }
    ZoMsgInBuffer& In() { return mIn; }

private:
    void Flush() {
        uint8_t buf[256];
        size_t n;
        while ((n = mOut.TakeBytes(buf, sizeof buf)) > 0)
            ASSERT_EQ(write(mFd, buf, n), ssize_t(n));
    }

    int mFd = -1;
    Owner mOwner;
    ZoMsgOutBuffer<Owner> mOut;
    ZoMsgInBuffer mIn;
    std::vector<Message> mMessages;
    size_t mTaken = 0;
};

const std::vector<std::string> kNoMedia = {"--no-video", "--no-audio"};

Body::ToviInfo ParseInfo(const Port::Message& m) {
    Body::ToviInfo info;
    std::memcpy(&info, m.body.data(), std::min(m.body.size(), sizeof info));
    return info;
}

TEST(SimEndToEndTest, AnswersInfoRequestsPingsAndReportsStateAtTheConfiguredInterval) {
    SimProcess sim;
    sim.Start({"--no-video", "--no-audio", "--uid", "1234ABCD5678", "--av-version", "1.8"});
    const std::string id = sim.Entry()["id"];
    EXPECT_EQ(id, ZotSimIdentity::MakeId(0x1234ABCD5678ULL, 1, 8));
    EXPECT_EQ(id.substr(8), "18");
    Port port(sim.Entry()["serial"]);
    ASSERT_TRUE(port.IsOpen());

    port.Send(Type::Ping, Body::PingType{Body::PingType::kRequestInfo});
    Port::Message m;
    ASSERT_TRUE(port.WaitFor(Type::ToviInfo, m));
    ASSERT_EQ(m.body.size(), 131u);
    Body::ToviInfo info = ParseInfo(m);
    // The records are packed: unary + compares the fields by value.
    EXPECT_EQ(+info.messageVersionMajor, 1);
    EXPECT_EQ(+info.messageVersionMinor, 4);
    EXPECT_EQ(+info.uid, 0x1234ABCD5678ULL);
    EXPECT_STREQ(info.boardName, "Tovi Simulator");
    EXPECT_EQ(+info.firmwareVersionMajor, 1);
    EXPECT_EQ(+info.firmwareVersionMinor, 24);
    EXPECT_EQ(+info.sku, 1);
    EXPECT_EQ(+info.features, 2u);
    char hash[16];
    std::snprintf(hash, sizeof hash, "%08X", ZotSimIdentity::HashUid(info.uid));
    EXPECT_EQ(id.substr(0, 8), hash) << "the camera id leads with the hash of the reported uid";

    port.Send(Type::Ping, Body::PingType{Body::PingType::kKeepAlive});
    ASSERT_TRUE(port.WaitFor(Type::Ping, m));

    EXPECT_EQ(sim.Ctl("version 1.3"), "ok version 1.3\n");
    port.Send(Type::Ping, Body::PingType{Body::PingType::kRequestInfo});
    ASSERT_TRUE(port.WaitFor(Type::ToviInfo, m));
    EXPECT_EQ(+ParseInfo(m).messageVersionMinor, 3);

    // State reports follow the interval of the last configuration.
    Body::ToviConfig config;
    config.stateReportInterval = 50;
    config.forceKeyboardInLegacyMode = 1;
    port.Send(Type::ToviConfig, config);
    ASSERT_TRUE(port.WaitFor(Type::ToviLog, m)) << "the configuration is acknowledged in the Tovi's log";
    port.Forget();
    port.Pump(1000);
    const size_t states = port.Count(Type::ToviState);
    EXPECT_GE(states, 5u);
    EXPECT_LE(states, 22u) << "1 s at 50 ms gives about 20 reports";
    ASSERT_TRUE(port.WaitFor(Type::ToviState, m));
    ASSERT_EQ(m.body.size(), 10u);
    Body::ToviState state;
    std::memcpy(&state, m.body.data(), sizeof state);
    EXPECT_EQ(+state.states, uint64_t(Body::ToviState::kKeyboardLegacyMode));
    EXPECT_EQ(+state.temperature, 42);

    port.Send(Type::KeyboardLegacyMode, uint8_t(0));
    port.Pump(100);
    port.Forget(); // reports sent before the switch
    ASSERT_TRUE(port.WaitFor(Type::ToviState, m));
    std::memcpy(&state, m.body.data(), sizeof state);
    EXPECT_EQ(+state.states, 0u);

    // After Disconnect the reports pause until the application speaks again.
    port.SendBytes(Type::Disconnect, "");
    port.Pump(150);
    port.Forget();
    port.Pump(400);
    EXPECT_EQ(port.Count(Type::ToviState), 0u);
}

TEST(SimEndToEndTest, TypedTextAndMouseReachTheTarget) {
    SimProcess sim;
    sim.Start(kNoMedia);
    Port port(sim.Entry()["serial"]);
    ASSERT_TRUE(port.IsOpen());
    const Body::Keyboard shiftH{0x02, 0, {0x0B}}, i{0, 0, {0x0C}}, up{};
    port.Send(Type::Keyboard, shiftH);
    port.Send(Type::Keyboard, up);
    port.Send(Type::Keyboard, i);
    port.Send(Type::Keyboard, up);
    port.SendBytes(Type::PasteText, " there\r\n\nthird line");
    const Body::Mouse move{1, -100, 50, 2, 0};
    port.Send(Type::Mouse, move);
    ASSERT_TRUE(WaitUntil([&] { return sim.Ctl("screen") == "Hi there\n \nthird line\n\n"; }, 3000))
        << sim.Ctl("screen");
    EXPECT_EQ(sim.Ctl("keys"), "4\n");
    EXPECT_EQ(sim.Ctl("mouse"), "x 860 y 590 buttons 0x01 presses 1 wheel 2 pan 0 reports 1\n");
}

TEST(SimEndToEndTest, UnplugRemovesTheEntryAndTheSerialPortAndReplugRestoresThem) {
    SimProcess sim;
    sim.Start(kNoMedia);
    const std::string serial = sim.Entry()["serial"];
    {
        Port port(serial);
        ASSERT_TRUE(port.IsOpen());
        EXPECT_EQ(sim.Ctl("unplug"), "ok unplugged\n");
        EXPECT_NE(access(sim.EntryPath().c_str(), F_OK), 0);
        // The open port hangs up, as a USB serial port does when its device goes.
        pollfd p{port.Fd(), POLLIN, 0};
        ASSERT_EQ(poll(&p, 1, 2000), 1);
        EXPECT_NE(p.revents & (POLLHUP | POLLERR), 0);
    }
    EXPECT_NE(access(serial.c_str(), F_OK), 0) << "the serial device is gone";
    EXPECT_EQ(sim.Ctl("unplug"), "error: already unplugged\n");

    const std::string answer = sim.Ctl("replug");
    EXPECT_EQ(answer.compare(0, 24, "ok plugged in, serial /d"), 0) << answer;
    ASSERT_EQ(access(sim.EntryPath().c_str(), F_OK), 0);
    sim.Reload();
    Port port(sim.Entry()["serial"]);
    ASSERT_TRUE(port.IsOpen());
    port.Send(Type::Ping, Body::PingType{Body::PingType::kRequestInfo});
    Port::Message m;
    EXPECT_TRUE(port.WaitFor(Type::ToviInfo, m));
}

TEST(SimEndToEndTest, FaultsDamageDropOrSilenceTheTovisFrames) {
    SimProcess sim;
    sim.Start(kNoMedia);
    Port port(sim.Entry()["serial"]);
    ASSERT_TRUE(port.IsOpen());
    const Body::PingType keepAlive{Body::PingType::kKeepAlive};
    auto pingRound = [&](int count) {
        port.Forget();
        for (int n = 0; n < count; ++n) {
            port.Send(Type::Ping, keepAlive);
            port.Pump(5);
        }
        port.Pump(300);
        return port.Count(Type::Ping);
    };
    ASSERT_EQ(pingRound(10), 10u);

    EXPECT_EQ(sim.Ctl("noise 30"), "ok noise 30%\n");
    const uint32_t preambles = port.In().GetPreamblesFound(), popped = port.In().GetMessagesPopped();
    EXPECT_LT(pingRound(40), 30u);
    EXPECT_GT(port.In().GetPreamblesFound() - preambles, port.In().GetMessagesPopped() - popped)
        << "frames start but arrive damaged";

    EXPECT_EQ(sim.Ctl("noise 0"), "ok noise 0%\n");
    port.Pump(100);
    EXPECT_EQ(sim.Ctl("drop 100"), "ok drop 100%\n");
    EXPECT_EQ(pingRound(5), 0u);
    EXPECT_EQ(sim.Ctl("drop 0"), "ok drop 0%\n");
    EXPECT_EQ(sim.Ctl("silent on"), "ok silent on\n");
    EXPECT_EQ(pingRound(5), 0u);
    EXPECT_EQ(sim.Ctl("silent off"), "ok silent off\n");
    EXPECT_EQ(pingRound(5), 5u);
}

TEST(SimEndToEndTest, BadCommandsGetAnErrorAndQuitRemovesTheEntry) {
    SimProcess sim;
    sim.Start(kNoMedia);
    for (const char* bad :
         {"bogus", "video 1280x720", "noise 101", "noise abc", "drop -1", "silent maybe", "version 1",
          "video 123x45", "video 1920x1080@0", "log 0", "audio loud", "type"}) {
        const std::string answer = sim.Ctl(bad);
        EXPECT_EQ(answer.compare(0, 7, "error: "), 0) << bad << " -> " << answer;
        EXPECT_EQ(answer.find('\n'), answer.size() - 1) << "one line for " << bad;
    }
    const std::string status = sim.Ctl("status");
    EXPECT_NE(status.find("plugged: yes\n"), std::string::npos);
    EXPECT_EQ(status.substr(status.size() - 2), "\n\n") << "a block ends with an empty line";
    EXPECT_EQ(sim.Ctl("quit"), "ok quitting\n");
    const int status2 = sim.WaitExit();
    EXPECT_TRUE(WIFEXITED(status2) && WEXITSTATUS(status2) == 0);
    EXPECT_NE(access(sim.EntryPath().c_str(), F_OK), 0);
}

TEST(SimEndToEndTest, HidAnswersTheResolutionCommandAndRecordsTheCode) {
    SimProcess sim;
    sim.Start(kNoMedia);
    EXPECT_EQ(sim.Entry()["hid"]["vendorId"], 13407);
    EXPECT_EQ(sim.Entry()["hid"]["serial"], sim.Entry()["id"]);
    const std::string path = sim.Entry()["hid"]["socket"];
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    auto exchange = [&](std::vector<uint8_t> request) {
        EXPECT_EQ(send(fd, request.data(), request.size(), 0), ssize_t(request.size()));
        std::vector<uint8_t> reply(64);
        const ssize_t n = recv(fd, reply.data(), reply.size(), 0);
        reply.resize(size_t(std::max<ssize_t>(n, 0)));
        return reply;
    };
    struct Case {
        uint8_t command, code, result;
    } cases[] = {{0x0A, 10, 0}, {0x0A, 16, 0}, {0x0A, 99, 1}, {0x0B, 1, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(exchange({1, 0, c.command, 4, c.code, 0, 0, 0, 0, 0}), (std::vector<uint8_t>{9, 0, 0, 0}));
        const std::vector<uint8_t> got = exchange({2, 0, 9, 0});
        ASSERT_EQ(got.size(), 13u);
        EXPECT_EQ(got[5], c.command);
        EXPECT_EQ(got[6], c.result) << "code " << int(c.code);
    }
    EXPECT_EQ(exchange({7}), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    close(fd);
    EXPECT_EQ(sim.Ctl("edid"), "99\n") << "the last code set is recorded";
}

TEST(SimEndToEndTest, DeliversA1080p60StreamWithoutSequenceGapsAndAudioBlocks) {
    SimProcess sim;
    sim.Start({"--video-slots", "64"}); // a second of slack for a reader on a busy machine
    ASSERT_EQ(sim.Entry()["camera"]["width"], 1920);
    ASSERT_EQ(sim.Entry()["camera"]["name"], "Tovi (" + sim.Entry()["id"].get<std::string>() + ")");
    ZotSimMediaReader video;
    std::string error;
    ASSERT_TRUE(video.Open(sim.Entry()["camera"]["shm"], ZotSimMedia::Kind::Video, error)) << error;

    // 240 consecutive frames: four seconds of video.
    constexpr int kFrames = 240;
    std::vector<uint64_t> seqs, stamps;
    bool shapeOk = true;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (int(seqs.size()) < kFrames && Clock::now() < deadline) {
        const auto result = video.Read([&](const ZotSimMediaReader::View& v) {
            shapeOk = shapeOk && v.width == 1920 && v.height == 1080 && v.pitch == 3840 && v.fps == 60 &&
                      v.size == 1920u * 1080u * 2u && v.fourcc == ZotSimMedia::kFourccYuy2;
            seqs.push_back(v.seq);
            stamps.push_back(v.timestampNs);
        });
        if (result == ZotSimMediaReader::Result::NoFrame)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(int(seqs.size()), kFrames);
    EXPECT_TRUE(shapeOk);
    EXPECT_EQ(video.GetMissed(), 0u) << "the reader fell more than the ring behind";
    for (size_t k = 1; k < seqs.size(); ++k)
        ASSERT_EQ(seqs[k], seqs[k - 1] + 1) << "gap after " << seqs[k - 1];
    // The frames were due at 60 per second: their stamps are 1/60 s apart (the
    // median, so that one clock restart of a starved producer does not count).
    std::vector<uint64_t> spacing;
    for (size_t k = 1; k < stamps.size(); ++k)
        spacing.push_back(stamps[k] - stamps[k - 1]);
    std::nth_element(spacing.begin(), spacing.begin() + long(spacing.size() / 2), spacing.end());
    EXPECT_NEAR(double(spacing[spacing.size() / 2]) / 1e6, 1000.0 / 60.0, 0.01);

    // A new mode reaches the stream and the registry entry.
    EXPECT_EQ(sim.Ctl("video 640x480@30"), "ok video 640x480@30\n");
    sim.Reload();
    EXPECT_EQ(sim.Entry()["camera"]["width"], 640);
    EXPECT_EQ(sim.Entry()["camera"]["fps"], 30);
    ZotSimMediaReader::View small;
    EXPECT_TRUE(WaitUntil([&] {
        video.Read([&](const ZotSimMediaReader::View& v) { small = v; }, true);
        return small.width == 640 && small.height == 480 && small.fps == 30;
    }));

    ZotSimMediaReader audio;
    ASSERT_TRUE(audio.Open(sim.Entry()["audio"]["shm"], ZotSimMedia::Kind::Audio, error)) << error;
    EXPECT_EQ(audio.GetHeader()->sampleRate, 48000u);
    EXPECT_EQ(audio.GetHeader()->channels, 2u);
    auto loudest = [&](int blocks) {
        int peak = 0, got = 0;
        while (got < blocks && WaitUntil(
                                   [&] {
                                       return audio.Read([&](const ZotSimMediaReader::View& v) {
                                           EXPECT_EQ(v.size, 1920u);
                                           const auto* s = reinterpret_cast<const int16_t*>(v.data);
                                           for (uint32_t k = 0; k < v.size / 2; ++k)
                                               peak = std::max(peak, std::abs(int(s[k])));
                                           ++got;
                                       }) == ZotSimMediaReader::Result::Frame;
                                   },
                                   3000)) {
        }
        return got == blocks ? peak : -1;
    };
    EXPECT_GT(loudest(10), 4000);
    EXPECT_EQ(sim.Ctl("audio silence"), "ok audio silence\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    audio.Read([](const ZotSimMediaReader::View&) {}, true); // skip what was made before the switch
    EXPECT_EQ(loudest(10), 0);
}

TEST(SimEndToEndTest, SeveralSimulatorsRunSideBySideAndCtlPicksOne) {
    // An entry left by a simulator that died goes when the next one starts.
    const std::string dir = MakeTempDir();
    std::filesystem::create_directories(dir + "/devices");
    std::filesystem::permissions(dir + "/devices", std::filesystem::perms::owner_all);
    std::ofstream(dir + "/devices/DEAD00000017.json") << R"({"id": "DEAD00000017", "pid": 2147483600})";
    SimProcess first, second;
    first.Start(kNoMedia, dir);
    EXPECT_FALSE(std::filesystem::exists(dir + "/devices/DEAD00000017.json"));
    second.Start(kNoMedia, first.Dir());
    EXPECT_NE(first.Entry()["id"], second.Entry()["id"]);
    EXPECT_NE(first.Entry()["serial"], second.Entry()["serial"]);

    auto run = [](const std::string& args, std::string& out) {
        FILE* p = popen((std::string(ZT_TOVI_SIM) + " " + args + " 2>&1").c_str(), "r");
        char buf[512];
        out.clear();
        while (fgets(buf, sizeof buf, p) != nullptr)
            out += buf;
        const int status = pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    const std::string where = " --runtime-dir " + dir;
    EXPECT_EQ(run("ctl" + where + " keys", out), 2);
    EXPECT_NE(out.find("several simulated Tovis"), std::string::npos) << out;
    EXPECT_EQ(run("ctl" + where + " --id " + second.Entry()["id"].get<std::string>() + " keys", out), 0);
    EXPECT_EQ(out, "0\n");
    EXPECT_EQ(run("ctl" + where + " --id " + second.Entry()["id"].get<std::string>() + " bogus", out), 1);
    const std::string empty = MakeTempDir();
    EXPECT_EQ(run("ctl --runtime-dir " + empty + " status", out), 1);
    EXPECT_NE(out.find("no simulated Tovi is running"), std::string::npos) << out;
    std::filesystem::remove_all(empty);
    EXPECT_EQ(run("--no-such-option", out), 2);
    EXPECT_NE(out.find("unknown option"), std::string::npos);
    EXPECT_EQ(run("--help", out), 0);
    EXPECT_NE(out.find("Usage: tovi-sim"), std::string::npos);
    first.Stop();
    second.Stop();
    std::filesystem::remove_all(dir);
}
} // namespace
