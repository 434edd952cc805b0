#pragma once
#include <string>
#include <vector>

// Finds the Tovi's audio input among the recording devices.
class ZocMicrophone {
public:
    // Names matching "...Tovi (<hex digits>)..." (or, with `toviOnly` false,
    // those that do not).
    static std::vector<std::string> GetDeviceList(bool toviOnly);
    // The first recording device whose name contains `idString`; empty when none.
    static std::string GetDeviceIdByIdString(const std::string& idString);
    static bool IsToviName(const std::string& name);
};
