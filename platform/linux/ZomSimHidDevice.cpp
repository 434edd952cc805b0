#include "platform/linux/ZomSimHidDevice.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr uint8_t kSendFeature = 0x01;
constexpr uint8_t kGetFeature = 0x02;
constexpr size_t kMaxReport = 4096;

int32_t ReadI32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}
} // namespace

ZomSimHidDevice::~ZomSimHidDevice() {
    if (mSocket >= 0)
        close(mSocket);
}

bool ZomSimHidDevice::Connect(const std::string& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) {
        mError = "invalid socket path '" + socketPath + "'";
        return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    mSocket = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (mSocket < 0 || connect(mSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        mError = "cannot connect to " + socketPath + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

int ZomSimHidDevice::Exchange(const uint8_t* request, size_t requestSize, uint8_t* reply, size_t replySize) {
    if (send(mSocket, request, requestSize, MSG_NOSIGNAL) != ssize_t(requestSize)) {
        mError = std::string("send: ") + std::strerror(errno);
        return -1;
    }
    pollfd pfd{mSocket, POLLIN, 0};
    int ready;
    do {
        ready = poll(&pfd, 1, kTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        mError =
            ready == 0 ? "no answer from the HID endpoint" : std::string("poll: ") + std::strerror(errno);
        return -1;
    }
    ssize_t got = recv(mSocket, reply, replySize, MSG_TRUNC);
    if (got <= 0) {
        mError = got == 0 ? "the HID endpoint closed the connection"
                          : std::string("recv: ") + std::strerror(errno);
        return -1;
    }
    if (size_t(got) > replySize) {
        mError = "oversized answer from the HID endpoint";
        return -1;
    }
    return int(got);
}

int ZomSimHidDevice::SendFeatureReport(const uint8_t* report, size_t length) {
    if (length == 0 || length > kMaxReport) {
        mError = "invalid report length";
        return -1;
    }
    std::vector<uint8_t> request(length + 1);
    request[0] = kSendFeature;
    std::memcpy(request.data() + 1, report, length);
    uint8_t reply[4];
    if (Exchange(request.data(), request.size(), reply, sizeof reply) != 4) {
        if (mError.empty())
            mError = "malformed answer from the HID endpoint";
        return -1;
    }
    int32_t taken = ReadI32(reply);
    if (taken < 0 || size_t(taken) > length) {
        mError = "the HID endpoint refused the report";
        return -1;
    }
    return int(taken);
}

int ZomSimHidDevice::GetFeatureReport(uint8_t* report, size_t length) {
    if (length == 0 || length > kMaxReport) {
        mError = "invalid report length";
        return -1;
    }
    const uint8_t request[4] = {kGetFeature, report[0], uint8_t(length & 0xFF), uint8_t(length >> 8)};
    std::vector<uint8_t> reply(4 + length);
    int got = Exchange(request, sizeof request, reply.data(), reply.size());
    if (got < 4) {
        if (got >= 0)
            mError = "malformed answer from the HID endpoint";
        return -1;
    }
    int32_t count = ReadI32(reply.data());
    if (count < 0) {
        mError = "the HID endpoint refused the request";
        return -1;
    }
    if (size_t(count) > length || size_t(count) != size_t(got) - 4) {
        mError = "malformed answer from the HID endpoint";
        return -1;
    }
    std::memcpy(report, reply.data() + 4, size_t(count));
    return int(count);
}
