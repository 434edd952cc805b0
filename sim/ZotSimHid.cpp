#include "sim/ZotSimHid.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr uint8_t kCmdEdid = 0x0A;

std::string I32(int32_t v) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
}

bool KnownCode(uint8_t code) {
    return code == 0 || code == 1 || (code >= 10 && code <= 16);
}
} // namespace

void ZotSimHid::Answer(const uint8_t* report, size_t size, uint8_t answer[9], bool& isEdid, bool& known) {
    std::memset(answer, 0, 9);
    isEdid = false;
    known = false;
    if (size < 2)
        return;
    answer[0] = report[0];
    answer[1] = report[1];
    if (report[1] != kCmdEdid) {
        answer[2] = 2;
        return;
    }
    isEdid = true;
    const uint8_t code = size >= 4 ? report[3] : 0;
    known = KnownCode(code);
    answer[2] = known ? 0 : 1;
}

bool ZotSimHid::Start(const std::string& path, const Listener& listener, std::string& error) {
    Stop();
    if (!mWake.IsValid()) {
        error = std::string("cannot create an eventfd: ") + strerror(errno);
        return false;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "socket path too long: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    unlink(path.c_str());
    mListen = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (mListen < 0 || bind(mListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(mListen, 8) != 0) {
        error = "cannot listen on " + path + ": " + strerror(errno);
        if (mListen >= 0)
            close(mListen);
        mListen = -1;
        return false;
    }
    chmod(path.c_str(), 0600);
    mPath = path;
    mListener = listener;
    mWake.Drain(); // a wake left from an earlier Stop
    mThread = std::thread([this] { Run(); });
    return true;
}

void ZotSimHid::Stop() {
    if (mThread.joinable()) {
        mWake.Signal();
        mThread.join();
    }
    if (mListen >= 0) {
        close(mListen);
        unlink(mPath.c_str());
    }
    mListen = -1;
}

std::string ZotSimHid::Handle(const uint8_t* packet, size_t size) {
    if (size >= 2 && packet[0] == 1) {
        uint8_t answer[9];
        bool isEdid = false, known = false;
        Answer(packet + 1, size - 1, answer, isEdid, known);
        {
            std::lock_guard<std::mutex> lock(mMutex);
            std::memcpy(mPending, answer, sizeof answer);
        }
        if (isEdid) {
            const uint8_t code = size >= 5 ? packet[4] : 0;
            mLastCode.store(code);
            if (mListener)
                mListener(code, known);
        }
        return I32(int32_t(size - 1));
    }
    if (size >= 4 && packet[0] == 2) {
        uint16_t length = 0;
        std::memcpy(&length, packet + 2, 2);
        uint8_t report[9];
        {
            std::lock_guard<std::mutex> lock(mMutex);
            std::memcpy(report, mPending, sizeof report);
        }
        report[0] = packet[1];
        const size_t n = std::min<size_t>(length, sizeof report);
        return I32(int32_t(n)) + std::string(reinterpret_cast<const char*>(report), n);
    }
    return I32(-1);
}

void ZotSimHid::Run() {
    std::vector<int> clients;
    for (;;) {
        std::vector<pollfd> fds{{mWake.Fd(), POLLIN, 0}, {mListen, POLLIN, 0}};
        for (int fd : clients)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            break;
        for (size_t i = clients.size(); i-- > 0;) {
            if (fds[i + 2].revents == 0)
                continue;
            uint8_t packet[512];
            const ssize_t n = recv(clients[i], packet, sizeof packet, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0) {
                close(clients[i]);
                clients.erase(clients.begin() + long(i));
                continue;
            }
            const std::string reply = Handle(packet, size_t(n));
            ssize_t w = send(clients[i], reply.data(), reply.size(), MSG_NOSIGNAL);
            (void)w;
        }
        if (fds[1].revents & POLLIN) {
            int fd = accept4(mListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0 && clients.size() < 16)
                clients.push_back(fd);
            else if (fd >= 0)
                close(fd);
        }
    }
    for (int fd : clients)
        close(fd);
}
