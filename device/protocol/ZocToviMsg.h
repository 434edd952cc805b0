#pragma once
#include "device/protocol/ZoMsg.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZoMsgOutBuffer.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <shared_mutex>
#include <thread>
#include <utility>
#include <vector>

class ZocCommPortI;

// The one message channel between the application and the connected Tovi:
// the receive and send rings, the output thread that drains the send ring
// into the serial port 32 bytes at a time, the handler table by message
// type with the default handlers, and SendAndWait for request/reply exchanges.
// It lives for the whole process and keeps running across connections.
class ZocToviMsg {
public:
    using Handler = std::function<void(const ZoMsg::Head& head, const std::vector<uint8_t>& body)>;

    // Receive side: fed by the serial port's read-monitor thread, on which
    // parsing and every handler run.
    class Input : public ZoMsgInBuffer {
    public:
        Input();
        // Installs `handler` for `type`, replacing a previous one.
        void AddMessageHandler(ZoMsg::Type type, Handler handler);
        void RemoveMessageHandler(ZoMsg::Type type);
        bool HasMessageHandler(ZoMsg::Type type);
        // Appends received bytes and dispatches every complete message. A
        // handler runs without the lock, on a copy, so it may add or remove
        // handlers (itself included).
        void OnDataReceived(const void* bytes, size_t length);
        uint64_t GetLastActiveTicks() const { return mLastActiveTicks.load(std::memory_order_relaxed); }
        void SetLastActiveTicks(uint64_t ticks) { mLastActiveTicks.store(ticks, std::memory_order_relaxed); }

    private:
        std::map<uint16_t, Handler> mHandlers; // guarded by the ring's mutex
        std::atomic<uint64_t> mLastActiveTicks{0};
    };

    // Send side: the send ring over itself, and the output thread.
    class Output : public ZoMsgOutBuffer<Output> {
    public:
        static constexpr size_t kChunkSize = 32;

        explicit Output(ZocToviMsg& channel);
        // Asked before each push: refused while shutting down or without an open port.
        bool PrePushPacket(ZoMsg::Type type, size_t bodySize);
        // Told after each push: wakes the output thread, or logs a full ring.
        void PostPushPacket(bool ok);
        uint64_t GetLastActiveTicks() const { return mLastActiveTicks.load(std::memory_order_relaxed); }
        void SetLastActiveTicks(uint64_t ticks) { mLastActiveTicks.store(ticks, std::memory_order_relaxed); }

    private:
        friend class ZocToviMsg;
        void Start();
        void Wake();
        void Join();
        void ThreadProc();
        void SendStaged(ZocCommPortI& port);

        ZocToviMsg& mChannel;
        std::condition_variable mCond;
        std::thread mThread;
        std::atomic<std::thread::id> mThreadId{};
        std::atomic<uint64_t> mLastActiveTicks{0};
        // The staging chunk (output thread only).
        static uint8_t s_data[kChunkSize];
        static long s_nLeft;
        static long s_nTotalSent;
    };

    // A registration on the global channel for the lifetime of the object.
    // Its destructor removes whatever handler the type has at that time.
    class ScopedMessageHandler {
    public:
        ScopedMessageHandler(ZoMsg::Type type, Handler handler);
        ~ScopedMessageHandler();
        ScopedMessageHandler(const ScopedMessageHandler&) = delete;
        ScopedMessageHandler& operator=(const ScopedMessageHandler&) = delete;

    private:
        ZoMsg::Type mType;
    };

    // What other subsystems plug into the default handlers.
    struct Hooks {
        std::function<void()> requestDisconnect;   // a rejected ToviInfo: disconnect the Tovi
        std::function<void()> checkFirmwareUpdate; // an accepted ToviInfo: offer the embedded firmware
        std::function<void()> toviStateChanged;    // the stored ToviState changed: refresh the LED states
    };
    static inline Hooks hooks;

    ZocToviMsg();
    ~ZocToviMsg();
    ZocToviMsg(const ZocToviMsg&) = delete;
    ZocToviMsg& operator=(const ZocToviMsg&) = delete;

    static ZocToviMsg& Instance();
    static Input& GetInput() { return Instance().input; }
    static Output& GetOutput() { return Instance().output; }

    // Clears the shutting-down flag and starts the output thread.
    static void Initialize();
    // Sets the flag and wakes the output thread; WaitShutdown joins it.
    static void Shutdown();
    static void WaitShutdown();
    static bool IsShuttingDown() { return Instance().mShuttingDown.load(); }
    // Both activity ticks to now (when the serial port opens).
    static void ResetTicks();

    // The session's serial port, set by the port itself while it exists.
    // Replacing it waits until the output thread no longer uses the old one,
    // so a port may be destroyed right after it was taken out.
    static void SetCommPort(ZocCommPortI* port);
    static ZocCommPortI* GetCommPort() { return Instance().mCommPort.load(); }

    static void AddMessageHandler(ZoMsg::Type type, Handler handler) {
        GetInput().AddMessageHandler(type, std::move(handler));
    }
    static void RemoveMessageHandler(ZoMsg::Type type) { GetInput().RemoveMessageHandler(type); }

    // Pushes into the send ring (see ZoMsgOutBuffer for the forms).
    template <typename... Args> static bool PushPacket(ZoMsg::Type type, Args&&... args) {
        return GetOutput().PushPacket(type, std::forward<Args>(args)...);
    }
    template <typename... Args> static bool PushPacketWithBuffer(ZoMsg::Type type, Args&&... args) {
        return GetOutput().PushPacketWithBuffer(type, std::forward<Args>(args)...);
    }

    // Sends with `send` and polls `isDone` until it is true: per attempt one
    // wait of 4t/5+1 ms, then up to 30 polls t/10+1 ms apart, where t is
    // timeoutMs stretched for the slower baud rates. Gives up early when the
    // Tovi disconnects. True when `isDone` became true.
    static bool SendAndWait(const char* name, int retries, int timeoutMs, bool logPolls,
                            const std::function<bool()>& send, const std::function<bool()>& isDone);
    // The same with the stretched wait `waitMs` given and the sleeping done by `sleep`.
    static bool SendAndWaitFor(const char* name, int retries, int waitMs, bool logPolls,
                               const std::function<bool()>& send, const std::function<bool()>& isDone,
                               const std::function<void(int ms)>& sleep);

    // Default handlers.
    static void OnToviInfo(const ZoMsg::Head& head, const std::vector<uint8_t>& body);
    static void OnToviState(const ZoMsg::Head& head, const std::vector<uint8_t>& body);

    // The channel's millisecond clock (SDL ticks); tests may pin it with a nonzero value.
    static uint64_t NowTicks();
    static inline std::atomic<uint64_t> ticksForTesting{0};

    // Four characters, GPIO 3 first: 'H' high, 'L' low, '-' not an input.
    static void GetPinLevelsString(uint8_t pinLevels, char text[5]);

    Input input;
    Output output;

private:
    bool OnOutputThread() const { return std::this_thread::get_id() == output.mThreadId.load(); }

    std::atomic<bool> mShuttingDown{true};
    std::atomic<ZocCommPortI*> mCommPort{nullptr};
    // Held shared while the port is used (output thread, pre-push check),
    // exclusively while it is replaced.
    std::shared_mutex mPortMutex;
};
