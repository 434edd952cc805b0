#include "platform/linux/ZomDeviceUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
// A small sysfs and /dev: a Tovi bridge with a usb-serial tty, another
// bridge chip with a cdc-acm tty, and a keyboard.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("zt-sysfs-" + std::to_string(::getpid()));
        fs::remove_all(root);
        Device("1-1.2", "1a86", "7523");
        fs::create_directories(root / "sys/bus/usb/devices/1-1.2/1-1.2:1.0/ttyUSB0");
        Device("1-1.3", "0403", "6001");
        fs::create_directories(root / "sys/bus/usb/devices/1-1.3/1-1.3:1.0/tty/ttyACM0");
        Device("2-1", "046d", "c31c");
        fs::create_directories(root / "sys/bus/usb/devices/2-1:1.0"); // an interface entry at top level
        fs::create_directories(root / "dev");
        for (const char* node : {"ttyUSB0", "ttyACM0", "ttyS0", "video0"})
            std::ofstream(root / "dev" / node);
        ZomDeviceUtils::SetRoots((root / "sys").string(), (root / "dev").string());
        ZomDeviceUtils::SetUseSimulated(false);
    }
    void TearDown() override {
        ZomDeviceUtils::SetRoots("/sys", "/dev");
        ZomDeviceUtils::SetUseSimulated(true);
        fs::remove_all(root);
    }
    void Device(const std::string& name, const std::string& vendor, const std::string& product) {
        fs::path dir = root / "sys/bus/usb/devices" / name;
        fs::create_directories(dir);
        std::ofstream(dir / "idVendor") << vendor << "\n";
        std::ofstream(dir / "idProduct") << product << "\n";
    }
    fs::path root;
};
} // namespace

TEST_F(FakeSysfs, ListsUsbDevicesWithDecimalIds) {
    std::vector<std::pair<std::string, std::string>> seen;
    EXPECT_TRUE(ZomDeviceUtils::Usb::ForEachDevice([&](const ZomDeviceUtils::Usb::Properties& p) {
        seen.emplace_back(p.at("name"), p.at("idVendor") + ":" + p.at("idProduct"));
        return true;
    }));
    ASSERT_EQ(seen.size(), 3u) << "interfaces are not devices";
    EXPECT_EQ(seen[0], std::make_pair(std::string("1-1.2"), std::string("6790:29987")));
}

TEST_F(FakeSysfs, FindsOnlyTheBridgeTtys) {
    EXPECT_EQ(ZomDeviceUtils::Comm::GetToviCommCandidateList(), std::vector<std::string>{"ttyUSB0"});
    std::vector<std::string> paths;
    EXPECT_TRUE(ZomDeviceUtils::Comm::GetDevices(paths));
    EXPECT_EQ(paths, std::vector<std::string>{(root / "dev/ttyUSB0").string()});
}

TEST_F(FakeSysfs, MissingFoldersFailCleanly) {
    ZomDeviceUtils::SetRoots((root / "nothing").string(), (root / "nothing").string());
    EXPECT_TRUE(ZomDeviceUtils::Usb::ForEachDevice([](const auto&) { return true; }))
        << "no USB bus: no devices";
    ZomDeviceUtils::SetRoots((root / "sys/bus/usb/devices/1-1.2/idVendor").string(),
                             (root / "nothing").string());
    EXPECT_FALSE(ZomDeviceUtils::Usb::ForEachDevice([](const auto&) { return true; })) << "not a folder";
    std::vector<std::string> paths;
    EXPECT_FALSE(ZomDeviceUtils::Comm::GetDevices(paths));
    EXPECT_TRUE(paths.empty());
}
