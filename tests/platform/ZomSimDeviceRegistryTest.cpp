#include "platform/linux/ZomSimDeviceRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ZomSimDeviceRegistry, ParsesEntriesAndRejectsBadOnes) {
    ZomSimDeviceRegistry::Entry entry;
    const char* full = R"J({"format":1,"id":"1A2B3C4D17","pid":12,"serial":"/dev/pts/5",
        "camera":{"name":"Tovi (1A2B3C4D17)","shm":"/cam"},"audio":{"name":"Tovi (1A2B3C4D17)","shm":"/aud"},
        "hid":{"socket":"/run/x.hid","vendorId":13407,"productId":8496,"serial":"1A2B3C4D17"},
        "control":"/run/x.ctl"})J";
    ASSERT_TRUE(ZomSimDeviceRegistry::Parse(full, entry));
    EXPECT_EQ(entry.id, "1A2B3C4D17");
    EXPECT_EQ(entry.serial, "/dev/pts/5");
    EXPECT_EQ(entry.cameraShm, "/cam");
    EXPECT_EQ(entry.audioName, "Tovi (1A2B3C4D17)");
    EXPECT_EQ(entry.hidVendorId, 13407);
    EXPECT_EQ(entry.pid, 12);

    const char* bad[] = {"",
                         "not json",
                         "[]",
                         R"({"id":"X"})",
                         R"({"id":5,"serial":"/dev/pts/1"})",
                         R"({"id":"X","serial":["/dev/pts/1"]})"};
    for (const char* text : bad)
        EXPECT_FALSE(ZomSimDeviceRegistry::Parse(text, entry)) << text;
    // Wrong types in optional parts are ignored, not fatal.
    ASSERT_TRUE(ZomSimDeviceRegistry::Parse(
        R"({"id":"X","serial":"/s","camera":"yes","hid":{"vendorId":"x"}})", entry));
    EXPECT_TRUE(entry.cameraName.empty());
    EXPECT_EQ(entry.hidVendorId, 0);
}

TEST(ZomSimDeviceRegistry, ListsOnlyEntriesOfLiveProcesses) {
    fs::path base = fs::temp_directory_path() / ("zt-registry-" + std::to_string(getpid()));
    fs::create_directories(base / "devices");
    std::ofstream(base / "devices/B.json") << R"({"id":"B","serial":"/b","pid":)" << getpid() << "}";
    std::ofstream(base / "devices/A.json") << R"({"id":"A","serial":"/a","pid":)" << getpid() << "}";
    std::ofstream(base / "devices/dead.json") << R"({"id":"D","serial":"/d","pid":999999999})";
    std::ofstream(base / "devices/junk.json") << "{";
    setenv("ZT_SIM_REGISTRY", base.c_str(), 1);
    auto entries = ZomSimDeviceRegistry::List();
    unsetenv("ZT_SIM_REGISTRY");
    fs::remove_all(base);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].id, "A");
    EXPECT_EQ(entries[1].id, "B");
}
