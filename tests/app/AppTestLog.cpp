#include "AppTestLog.h"

#include "app/ZocLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
bool gOpen = false;
}

bool AppTestLog::IsOpen() {
    return gOpen;
}

const std::string& AppTestLog::Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/zt-app-log-XXXXXX";
        const char* made = mkdtemp(pattern);
        std::string path = made ? made : "/tmp";
        EXPECT_TRUE(ZocLog::Initialize(path.c_str(), "ZorvaneTovi", ".log"));
        gOpen = true;
        // The mapping stays valid after the files are gone.
        static char removeAtExit[64];
        std::snprintf(removeAtExit, sizeof(removeAtExit), "%s", path.c_str());
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(removeAtExit, error);
        });
        return path;
    }();
    return folder;
}

std::string AppTestLog::All() {
    // A test may have switched to the console; the file stays open.
    ZotLogManager::Instance().Initialize(ZotLogManager::File, 0, Folder().c_str(), "ZorvaneTovi", ".log", 10);
    std::string text = ReadTextFile(Folder() + "/ZorvaneTovi.log");
    return text.substr(0, text.find('\0'));
}

TempFolder::TempFolder() {
    char pattern[] = "/tmp/zt-app-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    mPath = made ? made : "";
}

TempFolder::~TempFolder() {
    std::error_code error;
    if (!mPath.empty())
        std::filesystem::remove_all(mPath, error);
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}
