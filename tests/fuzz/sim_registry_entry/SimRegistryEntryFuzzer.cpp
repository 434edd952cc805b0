// Registry entries are written by other processes: any bytes must parse
// or be refused without a crash.
#include "platform/linux/ZomSimDeviceRegistry.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZomSimDeviceRegistry::Entry entry;
    ZomSimDeviceRegistry::Parse(std::string(reinterpret_cast<const char*>(data), size), entry);
    return 0;
}
