#include "device/protocol/ZocToviMsg.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocUtils.h"
#include "app/ZocVersion.h"
#include "device/protocol/ZoUtils.h"
#include "device/transport/ZocCommPortI.h"
#include "ui/ZocModalDialog.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

namespace {

constexpr int kPollCount = 30;
constexpr uint64_t kTemperatureLogIntervalMs = 60001;

uint16_t ReadU16(const std::vector<uint8_t>& body, size_t offset) {
    return uint16_t(body[offset] | body[offset + 1] << 8);
}

// A NUL-terminated text field of a received record, which may lack its NUL.
std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

} // namespace

uint8_t ZocToviMsg::Output::s_data[ZocToviMsg::Output::kChunkSize];
long ZocToviMsg::Output::s_nLeft = 0;
long ZocToviMsg::Output::s_nTotalSent = 0;

// ---- channel ----

uint64_t ZocToviMsg::NowTicks() {
    const uint64_t pinned = ticksForTesting.load(std::memory_order_relaxed);
    return pinned != 0 ? pinned : SDL_GetTicks64();
}

ZocToviMsg::ZocToviMsg() : output(*this) {}

ZocToviMsg::~ZocToviMsg() {
    mShuttingDown = true;
    output.Wake();
    output.Join();
}

ZocToviMsg& ZocToviMsg::Instance() {
    static ZocToviMsg channel;
    return channel;
}

void ZocToviMsg::Initialize() {
    ZocToviMsg& channel = Instance();
    channel.mShuttingDown = false;
    channel.output.Start();
}

void ZocToviMsg::Shutdown() {
    ZocToviMsg& channel = Instance();
    channel.mShuttingDown = true;
    channel.output.Wake();
}

void ZocToviMsg::WaitShutdown() {
    Instance().output.Join();
}

void ZocToviMsg::SetCommPort(ZocCommPortI* port) {
    ZocToviMsg& channel = Instance();
    if (channel.OnOutputThread()) {
        channel.mCommPort.store(port); // it holds the port lock itself
        return;
    }
    std::unique_lock<std::shared_mutex> lock(channel.mPortMutex);
    channel.mCommPort.store(port);
}

void ZocToviMsg::ResetTicks() {
    const uint64_t now = NowTicks();
    GetInput().SetLastActiveTicks(now);
    GetOutput().SetLastActiveTicks(now);
}

// ---- receive side ----

ZocToviMsg::Input::Input() {
    mHandlers[ZoMsg::ToU16(ZoMsg::Type::ToviInfo)] = &ZocToviMsg::OnToviInfo;
    mHandlers[ZoMsg::ToU16(ZoMsg::Type::ToviState)] = &ZocToviMsg::OnToviState;
    mHandlers[ZoMsg::ToU16(ZoMsg::Type::Ping)] = [](const ZoMsg::Head&, const std::vector<uint8_t>&) {};
    mHandlers[ZoMsg::ToU16(ZoMsg::Type::ToviLog)] = [](const ZoMsg::Head&, const std::vector<uint8_t>& body) {
        ZocLog::OnToviLogMessage(body.data(), body.size());
    };
}

void ZocToviMsg::Input::AddMessageHandler(ZoMsg::Type type, Handler handler) {
    std::lock_guard<std::mutex> lock(mMutex);
    mHandlers[ZoMsg::ToU16(type)] = std::move(handler);
}

void ZocToviMsg::Input::RemoveMessageHandler(ZoMsg::Type type) {
    std::lock_guard<std::mutex> lock(mMutex);
    mHandlers.erase(ZoMsg::ToU16(type));
}

bool ZocToviMsg::Input::HasMessageHandler(ZoMsg::Type type) {
    std::lock_guard<std::mutex> lock(mMutex);
    return mHandlers.count(ZoMsg::ToU16(type)) != 0;
}

void ZocToviMsg::Input::OnDataReceived(const void* bytes, size_t length) {
    Push(bytes, length);
    SetLastActiveTicks(NowTicks());
    ZoMsg::Head head;
    std::vector<uint8_t> body;
    while (PopMessage(head, body)) {
        Handler handler;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            const auto found = mHandlers.find(head.type);
            if (found != mHandlers.end()) {
                handler = found->second;
            }
        }
        if (handler) {
            handler(head, body);
        } else {
            ZocLog::Application().Warn("No handler was set for the message type %hu", head.type);
        }
    }
}

// ---- send side ----

ZocToviMsg::Output::Output(ZocToviMsg& channel) : ZoMsgOutBuffer<Output>(*this), mChannel(channel) {}

bool ZocToviMsg::Output::PrePushPacket(ZoMsg::Type type, size_t bodySize) {
    const bool shuttingDown = mChannel.mShuttingDown.load();
    bool open = false;
    if (mChannel.OnOutputThread()) { // already holds the port lock (a push from an unplug hook)
        ZocCommPortI* port = mChannel.mCommPort.load();
        open = port != nullptr && port->IsOpened();
    } else {
        std::shared_lock<std::shared_mutex> lock(mChannel.mPortMutex);
        ZocCommPortI* port = mChannel.mCommPort.load();
        open = port != nullptr && port->IsOpened();
    }
    if (shuttingDown || !open) {
        ZocLog::CommPort().Debug("Outbound msg was discarded (type %d, bodySize %zu, shutdown %d)",
                                 int(ZoMsg::ToU16(type)), bodySize, int(shuttingDown));
        return false;
    }
    return true;
}

void ZocToviMsg::Output::PostPushPacket(bool ok) {
    if (ok) {
        // Under the ring's mutex, so the wake cannot fall between the output
        // thread's test and its wait.
        std::lock_guard<std::mutex> lock(mMutex);
        mCond.notify_one();
    } else {
        ZocLog::CommPort().Error("Sending buffer for serial port is full");
    }
}

void ZocToviMsg::Output::Start() {
    if (!mThread.joinable()) {
        mThread = std::thread(&Output::ThreadProc, this);
    }
}

void ZocToviMsg::Output::Wake() {
    std::lock_guard<std::mutex> lock(mMutex);
    mCond.notify_all();
}

void ZocToviMsg::Output::Join() {
    if (mThread.joinable() && mThread.get_id() != std::this_thread::get_id()) {
        mThread.join();
    }
}

void ZocToviMsg::Output::ThreadProc() {
    mThreadId = std::this_thread::get_id();
    while (!mChannel.mShuttingDown) {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            mCond.wait(lock, [this] { return mChannel.mShuttingDown || UsedUnSafe() > 0; });
            if (mChannel.mShuttingDown) {
                break;
            }
        }
        std::shared_lock<std::shared_mutex> portLock(mChannel.mPortMutex);
        ZocCommPortI* port = mChannel.mCommPort.load();
        if (port == nullptr || !port->IsOpened()) {
            Clear(); // nobody to send to: drop what was queued
            s_nLeft = 0;
            continue;
        }
        SendStaged(*port);
    }
}

void ZocToviMsg::Output::SendStaged(ZocCommPortI& port) {
    while (!mChannel.mShuttingDown && port.IsOpened() && (s_nLeft > 0 || GetUsed() > 0)) {
        if (s_nLeft == 0) {
            s_nLeft = long(TakeBytes(s_data, kChunkSize));
            s_nTotalSent = 0;
            continue;
        }
        const int sent = port.Write(s_data + s_nTotalSent, int(s_nLeft));
        if (sent > 0 && sent <= s_nLeft) {
            s_nTotalSent += sent;
            s_nLeft -= sent;
            SetLastActiveTicks(NowTicks());
        } else if (sent > s_nLeft) {
            ZocLog::CommPort().Error("More data (%d) than asked (%d) sent to Tovi", sent, int(s_nLeft));
            s_nLeft = 0;
        } else if (!port.IsOpened()) {
            break; // reported below
        } else if (sent < 0) {
            ZocLog::CommPort().Warn("Failed to send data to Tovi, discard %ld bytes, error %d", s_nLeft,
                                    -sent);
            s_nLeft = 0;
        }
        // 0: nothing went out this time; try again.
    }
    if (s_nLeft > 0 && !port.IsOpened()) {
        ZocLog::CommPort().Debug("Comm port is closed, discard %ld bytes", s_nLeft);
        s_nLeft = 0;
    }
}

// ---- registrations ----

ZocToviMsg::ScopedMessageHandler::ScopedMessageHandler(ZoMsg::Type type, Handler handler) : mType(type) {
    ZocToviMsg::AddMessageHandler(type, std::move(handler));
}

ZocToviMsg::ScopedMessageHandler::~ScopedMessageHandler() {
    ZocToviMsg::RemoveMessageHandler(mType);
}

// ---- request helper ----

bool ZocToviMsg::SendAndWait(const char* name, int retries, int timeoutMs, bool logPolls,
                             const std::function<bool()>& send, const std::function<bool()>& isDone) {
    return SendAndWaitFor(name, retries, ZocUtils::GetDesiredCommWaitTimeout(timeoutMs), logPolls, send,
                          isDone, [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); });
}

bool ZocToviMsg::SendAndWaitFor(const char* name, int retries, int waitMs, bool logPolls,
                                const std::function<bool()>& send, const std::function<bool()>& isDone,
                                const std::function<void(int ms)>& sleep) {
    const int first = 4 * waitMs / 5 + 1;
    const int step = waitMs / 10 + 1;
    for (int attempt = 1; attempt <= retries; ++attempt) {
        send();
        sleep(first);
        for (int poll = 1; poll <= kPollCount; ++poll) {
            if (isDone()) {
                if (logPolls) {
                    ZocLog::System().Debug("%s: Got response, poll count %d, timespan %d ms", name, poll,
                                           first + step * poll);
                }
                return true;
            }
            sleep(step);
        }
        if (!ZocGlobals::toviConnected) {
            ZocLog::System().Info("%s: disconnected, abort", name);
            return false;
        }
        ZocLog::System().Warn("%s: Timed out, %d ms, retry %d/%d", name, kPollCount * step + first, attempt,
                              retries);
    }
    return false;
}

// ---- default handlers ----

void ZocToviMsg::OnToviInfo(const ZoMsg::Head& head, const std::vector<uint8_t>& body) {
    using ZoMsg::Body::ToviInfo;
    static constexpr const char* kIncompatible =
        "This Application/firmware are not compatible. Please upgrade the application.\n";
    static constexpr const char* kAppProtocol = "The application protocol is v";
    const std::string appVersion =
        std::to_string(ZoMsg::kVersionMajor) + "." + std::to_string(ZoMsg::kVersionMinor);
    size_t size = body.size();
    bool accepted = false;

    if (size <= 3) {
        ZocUi::ModalDialog::CreateTextBox("Tovi Error", kIncompatible, "( sizeof(msg)=", size,
                                          " sizeof(clientmsg)=", sizeof(ToviInfo));
        ZocLog::CommPort().Error("Un-matched tovi information, %s",
                                 ZoUtils::BinaryToHexString(body.data(), std::min<size_t>(size, 16)).c_str());
    } else {
        const unsigned major = ReadU16(body, 0);
        const unsigned minor = ReadU16(body, 2);
        if (major != ZoMsg::kVersionMajor) {
            ZocUi::ModalDialog::CreateTextBox("Tovi Error", kIncompatible, kAppProtocol, appVersion,
                                              ". The firmware protocol is v", major, ".", minor, ".");
        } else if (minor > ZoMsg::kVersionMinor) {
            ZocUi::ModalDialog::CreateTextBox(
                "Tovi Error", "The application is out-of-date, please update it. \n", kAppProtocol,
                appVersion, ". The firmware protocol is v", major, ".", minor, ".");
        } else {
            accepted = true;
            if (minor != ZoMsg::kVersionMinor) {
                ZocUi::ModalDialog::CreateTextBox(
                    "Tovi Warning", "The Tovi firmware is out-of-date, please update it.\n", kAppProtocol,
                    appVersion, ". The Tovi protocol is v", major, ".", minor, ".");
            }
        }
    }

    if (!accepted) {
        ZocLog::CommPort().Info("Invalid Tovi-Info:\n\t%s\n\t%s\n\t to disconnect Tovi",
                                ZoUtils::BinaryToHexString(&head, sizeof head).c_str(),
                                ZoUtils::BinaryToHexString(body.data(), body.size()).c_str());
        if (hooks.requestDisconnect) {
            hooks.requestDisconnect();
        }
        return;
    }

    if (size > sizeof(ToviInfo)) {
        ZocLog::Application().Info("ToviInfo has more info from device, please update Tovi app");
        size = sizeof(ToviInfo);
    }
    // Bytes beyond a shorter report keep their previous values.
    std::memcpy(&ZocGlobals::toviInfo, body.data(), size);
    const ToviInfo info = ZocGlobals::toviInfo;
    ZocVersion::FirmwareVersion = ZocVersion(info.firmwareVersionMajor, info.firmwareVersionMinor);
    ZocLog::Application().Info(
        "Tovi info: message version %hu.%hu, uid 0x%08llX, board %s\n           sku %d,  firmware %hu.%hu, "
        "%s  "
        "boot %hu.%hu, %s  features 0x%X",
        info.messageVersionMajor, info.messageVersionMinor, (unsigned long long)info.uid,
        FieldText(info.boardName, sizeof info.boardName).c_str(), int(info.sku), info.firmwareVersionMajor,
        info.firmwareVersionMinor, FieldText(info.firmwareLabel, sizeof info.firmwareLabel).c_str(),
        info.bootVersionMajor, info.bootVersionMinor,
        FieldText(info.bootLabel, sizeof info.bootLabel).c_str(), unsigned(info.features));
    PushPacket(ZoMsg::Type::Ping, ZoMsg::Body::PingType{ZoMsg::Body::PingType::kKeepAlive});
    if (hooks.checkFirmwareUpdate) {
        hooks.checkFirmwareUpdate();
    }
}

void ZocToviMsg::GetPinLevelsString(uint8_t pinLevels, char text[5]) {
    for (int gpio = 3; gpio >= 0; --gpio) {
        const bool valid = (pinLevels >> (2 * gpio + 1)) & 1;
        const bool high = (pinLevels >> (2 * gpio)) & 1;
        text[3 - gpio] = !valid ? '-' : high ? 'H' : 'L';
    }
    text[4] = '\0';
}

void ZocToviMsg::OnToviState(const ZoMsg::Head&, const std::vector<uint8_t>& body) {
    // The last state that was logged, and when (message input thread only).
    static ZoMsg::Body::ToviState sLogged{};
    static uint64_t sLoggedTicks = 0;

    const size_t size = std::min(body.size(), sizeof(ZoMsg::Body::ToviState));
    if (size == 0 || std::memcmp(&ZocGlobals::toviState, body.data(), size) == 0) {
        return;
    }
    std::memcpy(&ZocGlobals::toviState, body.data(), size);
    if (hooks.toviStateChanged) {
        hooks.toviStateChanged();
    }

    const ZoMsg::Body::ToviState state = ZocGlobals::toviState;
    const uint64_t now = NowTicks();
    if (state.states == sLogged.states && state.pinLevels == sLogged.pinLevels) {
        const int delta = std::abs(int(state.temperature) - int(sLogged.temperature));
        if (delta == 0 || (delta == 1 && now - sLoggedTicks < kTemperatureLogIntervalMs)) {
            return;
        }
    }
    sLogged = state;
    sLoggedTicks = now;
    char levels[5];
    GetPinLevelsString(state.pinLevels, levels);
    char bits[9];
    for (int bit = 7; bit >= 0; --bit) {
        bits[7 - bit] = ((state.pinLevels >> bit) & 1) ? '1' : '0';
    }
    bits[8] = '\0';
    ZocLog::Application().Info("ToviState: states %08X, temperature %hhuC, GPIO %s (%s)",
                               unsigned(state.states & 0xFFFFFFFFu), state.temperature, levels, bits);
}
