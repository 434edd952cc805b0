// tovi-sim: a simulated Tovi for development, demos and end-to-end tests.
#include "sim/ZotSimControl.h"
#include "sim/ZotSimDevice.h"
#include "sim/ZotSimOptions.h"
#include "sim/ZotSimRegistry.h"

#include <csignal>
#include <cstdio>
#include <string>

namespace {
ZotSimDevice* sDevice = nullptr;

void OnSignal(int) {
    if (sDevice != nullptr)
        sDevice->RequestQuit();
}

// tovi-sim ctl [--id ID] [--runtime-dir DIR] COMMAND [ARGS...]
int RunControl(int argc, char** argv) {
    std::string id, dir, command;
    int i = 2;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--id" || arg == "--runtime-dir") && i + 1 < argc) {
            (arg == "--id" ? id : dir) = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(ZotSimOptions::Help().c_str(), stdout);
            return 0;
        } else {
            break;
        }
    }
    for (; i < argc; ++i)
        command += (command.empty() ? "" : " ") + std::string(argv[i]);
    if (command.empty()) {
        std::fprintf(stderr, "tovi-sim ctl: no command given (try 'tovi-sim ctl help')\n");
        return 2;
    }
    ZotSimRegistry registry;
    std::string error;
    if (!registry.Initialize(dir, error)) {
        std::fprintf(stderr, "tovi-sim ctl: %s\n", error.c_str());
        return 1;
    }
    std::string path;
    if (!id.empty()) {
        path = registry.SocketPath(id, ".ctl");
    } else {
        // The one running simulator; stale sockets of crashed runs do not count.
        std::vector<std::string> live;
        for (const std::string& candidate : registry.ListControlIds()) {
            std::string answer, why;
            if (ZotSimControl::Send(registry.SocketPath(candidate, ".ctl"), "", answer, why))
                live.push_back(candidate);
        }
        if (live.empty()) {
            std::fprintf(stderr, "tovi-sim ctl: no simulated Tovi is running (folder %s)\n",
                         registry.GetBaseDir().c_str());
            return 1;
        }
        if (live.size() > 1) {
            std::string ids;
            for (const std::string& s : live)
                ids += " " + s;
            std::fprintf(stderr,
                         "tovi-sim ctl: several simulated Tovis are running (%s ); choose one with --id\n",
                         ids.c_str());
            return 2;
        }
        path = registry.SocketPath(live[0], ".ctl");
    }
    std::string answer;
    if (!ZotSimControl::Send(path, command, answer, error)) {
        std::fprintf(stderr, "tovi-sim ctl: %s\n", error.c_str());
        return 1;
    }
    std::fputs(answer.c_str(), stdout);
    return answer.compare(0, 6, "error:") == 0 ? 1 : 0;
}
} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc >= 2 && std::string(argv[1]) == "ctl")
        return RunControl(argc, argv);

    ZotSimOptions options;
    std::string error;
    switch (options.Parse(argc, argv, 1, error)) {
    case ZotSimOptions::Outcome::Help:
        std::fputs(ZotSimOptions::Help().c_str(), stdout);
        return 0;
    case ZotSimOptions::Outcome::Version:
        std::puts("tovi-sim 1.0");
        return 0;
    case ZotSimOptions::Outcome::Error:
        std::fprintf(stderr, "tovi-sim: %s\n", error.c_str());
        return 2;
    case ZotSimOptions::Outcome::Run:
        break;
    }

    ZotSimDevice device(options);
    if (!device.Start(error)) {
        std::fprintf(stderr, "tovi-sim: %s\n", error.c_str());
        return 1;
    }
    sDevice = &device;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::printf("tovi-sim: Tovi (%s) plugged in; registry %s\n", device.GetId().c_str(),
                device.GetRegistry().EntryPath(device.GetId()).c_str());
    std::fflush(stdout);
    device.Run();
    sigaction(SIGINT, nullptr, nullptr);
    sDevice = nullptr;
    device.Shutdown();
    return 0;
}
