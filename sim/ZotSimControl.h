#pragma once

#include "sim/ZotSimWakeFd.h"

#include <functional>
#include <string>

// The control socket of a simulated Tovi: a Unix stream socket taking one
// text command per line. Each answer is one line, or a block of lines ended
// by an empty line; the handler returns it with its newlines. A client that
// shuts down its sending side gets its remaining answers and is then closed
// (this is how `tovi-sim ctl` knows the answer is complete).
// Serve runs on the calling thread; Stop may be called from any thread and
// from a signal handler.
class ZotSimControl {
public:
    using Handler = std::function<std::string(const std::string& line)>;

    ZotSimControl();
    ~ZotSimControl();

    // Listens on `path`. Fails when another live process serves that path.
    bool Open(const std::string& path, std::string& error);
    void Serve(const Handler& handler);
    void Stop();
    void Close();

    // Client side: sends `command`, returns the whole answer. False with
    // `error` when no simulator answers at `path`.
    static bool Send(const std::string& path, const std::string& command, std::string& answer,
                     std::string& error);

private:
    std::string mPath;
    int mListen = -1;
    ZotSimWakeFd mWake;
};
