#pragma once
#include <cstdint>
#include <string>

// Small shared helpers: text, operating-system queries, a few answers derived
// from the settings, and a refresh-rate meter.
class ZocUtils {
public:
    class String {
    public:
        // folder + "/" + name, without the "/" when the folder ends with one or
        // the name starts with one.
        static std::string CombinePath(const std::string& folder, const std::string& name);
        static bool BeginsWith(const std::string& text, const std::string& prefix);
        // An empty part always occurs.
        static bool Contains(const std::string& text, const std::string& part);
        // The text between the last "(" and the first ")" after it; empty when
        // that "(" is missing or the first character, or no ")" follows.
        static std::string GetLastBracedString(const std::string& text);
        // Local date and time as YYYYMMDD_HHMMSS.
        static std::string GetCompactDateTimeString();
        // Each byte becomes one wide character of the byte's value.
        static std::u16string AnsiToUtf16(const std::string& text);
    };

    class Os {
    public:
        enum KeyboardLayout : int { Unknown = 0, US = 1, British = 2, German = 3, French = 4 };
        enum class UserFolder { Pictures, Videos, Downloads };

        // The machine name from uname ("x86_64"); "Unknown" when unavailable.
        static std::string GetCPUArchitecture();
        // The layout of the current keyboard group of the X server (its XKB
        // rules names); Unknown without an X display or for other layouts.
        static KeyboardLayout GetKeyboardLayout();
        // Maps an XKB layout name ("us", "gb", "de", "fr", optionally with a
        // variant in brackets) to the enumeration; logs and answers Unknown
        // for an empty or unsupported name.
        static KeyboardLayout KeyboardLayoutFromName(const std::string& layout);
        // Real folder of the running program; "." when it cannot be found.
        static std::string GetCurrentExeFolder();
        // The shared library "lib" + name + ".so" beside the program.
        static std::string GetLibraryPath(const std::string& name);
        // The user's pictures, videos or downloads folder from the XDG user
        // directories. False with `error` set when they do not name it.
        static bool GetUserFolder(UserFolder which, std::string& folder, std::string& error);
        // $HOME, or the password database's home folder.
        static std::string GetHomeFolder();
    };

    // Counts repaints and logs the rate on "System" now and then.
    class RefreshRateCounter {
    public:
        RefreshRateCounter(const char* name, uint32_t checkEvery, uint32_t intervalSeconds);
        // Call once per frame.
        void OnRefresh();
        // The same with the current tick given (milliseconds).
        void OnRefresh(uint64_t nowMs);

    private:
        std::string mName;
        uint64_t mLastCheckMs = 0;
        uint64_t mCount = 0;
        uint32_t mCheckEvery;
        uint32_t mIntervalMs;
        // Shared by all counters: calls since the last check, reports since
        // the last Info report.
        static uint32_t sCallsSinceCheck;
        static uint32_t sReportsSinceInfo;
    };

    // Bit 1 of toviConfig.features.enabledList: the Tovi's USB serial (CDC)
    // port toward the target is enabled in the settings.
    static bool IsUsbCdcEnabledOnHost();
    // Bit 1 of the feature bits of the Tovi's last information report: the
    // Tovi offers that port.
    static bool IsUsbCdcEnabledOnTovi();
    // `ms` stretched for the slower baud rates: x3/2 at 1500000, x2 at 921600.
    static int GetDesiredCommWaitTimeout(int ms);
};
