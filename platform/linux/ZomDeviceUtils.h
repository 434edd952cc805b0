#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

// USB and serial device enumeration through sysfs and /dev.
class ZomDeviceUtils {
public:
    // Where sysfs and /dev are looked for; tests point these at fixtures.
    static void SetRoots(const std::string& sysfsRoot, const std::string& devRoot);
    // Whether simulated Tovis of the runtime registry are listed (on by default).
    static void SetUseSimulated(bool use);
    static bool UseSimulated();

    class Usb {
    public:
        // Properties of one USB device: "sysfsPath", "idVendor", "idProduct"
        // (decimal, as the registry keys of other systems), "busnum",
        // "devpath", "serial", "product", "manufacturer" where present.
        using Properties = std::map<std::string, std::string>;
        // Calls `callback` for every USB device until it returns false.
        // False when the USB device folder cannot be read.
        static bool ForEachDevice(const std::function<bool(const Properties&)>& callback);
    };

    class Comm {
    public:
        static constexpr unsigned kBridgeVendor = 0x1A86;  // 6790
        static constexpr unsigned kBridgeProduct = 0x7523; // 29987
        // tty names ("ttyUSB0") of the Tovi's USB-serial bridge chips.
        static std::vector<std::string> GetToviCommCandidateList();
        // Device paths of those ttys that exist under /dev, then the serial
        // ports of simulated Tovis.
        static bool GetDevices(std::vector<std::string>& paths);
    };
};
