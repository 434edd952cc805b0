#pragma once
#include "device/transport/ZocCommPortI.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

// A serial port in memory: records what the channel writes, in the sizes it
// writes them; scripted results can replace the next write results.
class FakeCommPort : public ZocCommPortI {
public:
    ZocCaptureResponse Open(const std::string&) override {
        opened = true;
        return ZocCaptureResponse::Ok();
    }
    void Close() override { opened = false; }
    ZocCaptureResponse ReOpen() override { return Open(""); }
    bool IsOpened() override { return opened; }
    bool IsBusy() override { return false; }
    int Read(void*, int) override { return 0; }
    int Write(const void* bytes, int length) override {
        std::lock_guard<std::mutex> lock(mMutex);
        writeSizes.push_back(length);
        int result = length;
        if (!scripted.empty()) {
            result = scripted.front();
            scripted.pop_front();
        }
        if (result > 0) {
            const auto* p = static_cast<const uint8_t*>(bytes);
            written.insert(written.end(), p, p + std::min(result, length));
        }
        mCond.notify_all();
        return result;
    }
    void onReadEvent(const char*, unsigned int) override {}

    // Waits until at least `count` bytes were written.
    bool WaitWritten(size_t count, int timeoutMs = 2000) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mCond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return written.size() >= count; });
    }
    std::vector<uint8_t> Written() {
        std::lock_guard<std::mutex> lock(mMutex);
        return written;
    }
    std::vector<int> WriteSizes() {
        std::lock_guard<std::mutex> lock(mMutex);
        return writeSizes;
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(mMutex);
        written.clear();
        writeSizes.clear();
        scripted.clear();
    }
    void Script(std::initializer_list<int> results) {
        std::lock_guard<std::mutex> lock(mMutex);
        scripted.insert(scripted.end(), results);
    }

    std::atomic<bool> opened{true};

private:
    std::mutex mMutex;
    std::condition_variable mCond;
    std::vector<uint8_t> written;
    std::vector<int> writeSizes;
    std::deque<int> scripted;
};
