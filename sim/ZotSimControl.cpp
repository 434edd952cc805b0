#include "sim/ZotSimControl.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxClients = 16;

bool MakeAddress(const std::string& path, sockaddr_un& addr, std::string& error) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        error = "socket path too long: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

struct Client {
    int fd = -1;
    std::string in, out;
    bool eof = false;
};
} // namespace

ZotSimControl::ZotSimControl() = default;

ZotSimControl::~ZotSimControl() {
    Close();
}

bool ZotSimControl::Open(const std::string& path, std::string& error) {
    Close();
    if (!mWake.IsValid()) {
        error = std::string("cannot create an eventfd: ") + strerror(errno);
        return false;
    }
    sockaddr_un addr{};
    if (!MakeAddress(path, addr, error))
        return false;
    // A socket file left by a crashed run is removed; a live one means the id is taken.
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        close(probe);
        error = "another simulated Tovi already serves " + path;
        return false;
    }
    if (probe >= 0)
        close(probe);
    unlink(path.c_str());
    mListen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (mListen < 0 || bind(mListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(mListen, 16) != 0) {
        error = "cannot listen on " + path + ": " + strerror(errno);
        Close();
        return false;
    }
    chmod(path.c_str(), 0600);
    mPath = path;
    return true;
}

void ZotSimControl::Close() {
    if (mListen >= 0) {
        close(mListen);
        mListen = -1;
        unlink(mPath.c_str());
    }
}

void ZotSimControl::Stop() {
    mWake.Signal(); // async-signal-safe
}

void ZotSimControl::Serve(const Handler& handler) {
    std::vector<Client> clients;
    bool stopping = false;
    while (!stopping) {
        std::vector<pollfd> fds;
        fds.push_back({mWake.Fd(), POLLIN, 0});
        fds.push_back({mListen, POLLIN, 0});
        for (const Client& c : clients)
            fds.push_back({c.fd, short((c.eof ? 0 : POLLIN) | (c.out.empty() ? 0 : POLLOUT)), 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents & POLLIN) {
            mWake.Drain();
            stopping = true;
        }
        for (size_t i = 0; i < clients.size(); ++i) {
            Client& c = clients[i];
            const short rev = fds[i + 2].revents;
            if ((rev & (POLLIN | POLLHUP | POLLERR)) && !c.eof) {
                char buf[1024];
                const ssize_t n = read(c.fd, buf, sizeof buf);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                    // spurious wake-up
                } else if (n <= 0) {
                    c.eof = true;
                } else {
                    c.in.append(buf, size_t(n));
                    size_t nl;
                    while ((nl = c.in.find('\n')) != std::string::npos) {
                        std::string line = c.in.substr(0, nl);
                        c.in.erase(0, nl + 1);
                        if (!line.empty() && line.back() == '\r')
                            line.pop_back();
                        c.out += handler(line);
                    }
                    if (c.in.size() > kMaxLine) {
                        c.out += "error: command line too long\n";
                        c.in.clear();
                        c.eof = true;
                    }
                }
                if (c.eof && !c.in.empty()) { // last line without a newline
                    c.out += handler(c.in);
                    c.in.clear();
                }
            }
            if (!c.out.empty() && (rev & POLLOUT)) {
                const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0)
                    c.out.erase(0, size_t(n));
                else if (n < 0 && errno != EAGAIN && errno != EINTR)
                    c.out.clear(), c.eof = true;
            }
        }
        // Drop finished clients.
        for (size_t i = clients.size(); i-- > 0;) {
            if (clients[i].eof && clients[i].out.empty()) {
                close(clients[i].fd);
                clients.erase(clients.begin() + long(i));
            }
        }
        if (fds[1].revents & POLLIN) {
            int fd = accept4(mListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0 && clients.size() >= kMaxClients) {
                const char busy[] = "error: too many control clients\n";
                ssize_t n = send(fd, busy, sizeof busy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
                (void)n;
                close(fd);
            } else if (fd >= 0) {
                clients.push_back(Client{fd, {}, {}, false});
            }
        }
    }
    // Deliver what is still queued (the answer to `quit`), briefly.
    for (Client& c : clients) {
        for (int tries = 0; !c.out.empty() && tries < 50; ++tries) {
            const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                c.out.erase(0, size_t(n));
            else if (n < 0 && errno != EAGAIN)
                break;
            else
                usleep(2000);
        }
        close(c.fd);
    }
}

bool ZotSimControl::Send(const std::string& path, const std::string& command, std::string& answer,
                         std::string& error) {
    sockaddr_un addr{};
    if (!MakeAddress(path, addr, error))
        return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "no simulated Tovi answers at " + path + ": " + strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const std::string line = command + "\n";
    bool ok = send(fd, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
    shutdown(fd, SHUT_WR);
    answer.clear();
    char buf[4096];
    ssize_t n;
    while (ok && (n = recv(fd, buf, sizeof buf, 0)) > 0)
        answer.append(buf, size_t(n));
    if (!ok || n < 0) {
        error = std::string("control socket ") + (ok ? "read" : "write") + " failed: " + strerror(errno);
        ok = false;
    }
    close(fd);
    return ok;
}
