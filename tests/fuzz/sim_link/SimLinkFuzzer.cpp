// Arbitrary serial streams from the host through tovi-sim's protocol side:
// framing, every message handler and the target behind it. Output is drained
// so that answers keep flowing.
#include "sim/ZotSimEventLog.h"
#include "sim/ZotSimLink.h"
#include "sim/ZotSimOptions.h"
#include "sim/ZotSimTarget.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ZotSimOptions options;
    ZotSimTarget target(options.columns, options.rows);
    ZotSimEventLog log(16);
    ZotSimLink link(target, log, options, 0x1234);
    link.OpenWithoutPort();
    uint8_t out[4096];
    // Feed in a few chunks, as reads from the port arrive.
    size_t pos = 0;
    for (size_t chunk = 1; pos < size; chunk = chunk * 3 + 1) {
        const size_t n = chunk < size - pos ? chunk : size - pos;
        link.OnSerialBytes(data + pos, n);
        pos += n;
        while (link.TakeOutput(out, sizeof out) > 0) {
        }
    }
    (void)target.ScreenText();
    (void)link.Status();
    return 0;
}
