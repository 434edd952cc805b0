#pragma once
// One real tovi-sim process for tests, in its own runtime folder (or a shared
// one), with its registry entry and control socket. Needs ZT_TOVI_SIM defined
// to the program's path.
#include "sim/ZotSimControl.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

std::string MakeTempDir() {
    char path[] = "/tmp/ztsimXXXXXX";
    return mkdtemp(path) != nullptr ? path : "";
}

template <typename F> bool WaitUntil(F done, int ms = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> ListEntries(const std::string& dir) {
    std::vector<std::string> files;
    if (DIR* d = opendir((dir + "/devices").c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 5 && name.substr(name.size() - 5) == ".json")
                files.push_back(dir + "/devices/" + name);
        }
        closedir(d);
    }
    return files;
}

// One tovi-sim process in its own runtime folder (or a shared one).
class SimProcess {
public:
    ~SimProcess() {
        Stop();
        if (mOwnsDir)
            std::filesystem::remove_all(mDir);
    }

    void Start(std::vector<std::string> args, std::string dir = "") {
        mOwnsDir = dir.empty();
        mDir = dir.empty() ? MakeTempDir() : dir;
        args.insert(args.begin(), {ZT_TOVI_SIM, "--runtime-dir", mDir});
        mPid = fork();
        if (mPid == 0) {
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            // A test that aborts must not leave the simulator running (it
            // would also hold ctest's output pipe open until the timeout).
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execv(argv[0], argv.data());
            _exit(127);
        }
        ASSERT_GT(mPid, 0);
        auto findEntry = [&] {
            for (const std::string& file : ListEntries(mDir)) {
                nlohmann::json j = nlohmann::json::parse(std::ifstream(file), nullptr, false);
                if (!j.is_discarded() && j.value("pid", 0) == mPid) {
                    mEntry = j;
                    mEntryPath = file;
                    return true;
                }
            }
            return false;
        };
        ASSERT_TRUE(WaitUntil(findEntry)) << "no registry entry";
        ASSERT_FALSE(mEntry.is_null());
    }

    int Stop() {
        int status = -1;
        if (mPid > 0) {
            kill(mPid, SIGTERM);
            waitpid(mPid, &status, 0);
            mPid = -1;
        }
        return status;
    }
    int WaitExit() {
        int status = -1;
        if (mPid > 0 && waitpid(mPid, &status, 0) == mPid)
            mPid = -1;
        return status;
    }

    std::string Ctl(const std::string& command) {
        std::string answer, error;
        EXPECT_TRUE(ZotSimControl::Send(mEntry["control"], command, answer, error)) << error;
        return answer;
    }
    void Reload() { mEntry = nlohmann::json::parse(std::ifstream(mEntryPath), nullptr, false); }

    const nlohmann::json& Entry() const { return mEntry; }
    const std::string& EntryPath() const { return mEntryPath; }
    const std::string& Dir() const { return mDir; }

private:
    std::string mDir, mEntryPath;
    pid_t mPid = -1;
    bool mOwnsDir = false;
    nlohmann::json mEntry;
};

} // namespace
