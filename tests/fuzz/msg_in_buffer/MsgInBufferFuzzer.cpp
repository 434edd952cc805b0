// Feeds arbitrary serial byte streams through the receive ring and the
// message channel's default handlers, and checks what comes out. The first
// byte of the input picks the read sizes, so the same bytes are also parsed
// across many different read boundaries; the rest is also handed to the
// default handlers directly as a message body.
#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZocToviMsg.h"
#include "ui/ZocModalDialog.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const size_t chunkSeed = data[0];
    ++data;
    --size;

    // A small ring makes overruns and wrap-around frequent.
    static ZoMsgInBuffer in(4096);
    in.Clear();
    ZoMsg::Head head;
    std::vector<uint8_t> body;
    size_t pos = 0;
    size_t round = 0;
    while (pos < size) {
        const size_t chunk = std::min(size - pos, 1 + (chunkSeed * 131 + round * 17) % 1500);
        in.Push(data + pos, chunk);
        // The channel parses the same stream and runs the default handlers
        // (information, state, ping and log reports) on what it finds.
        ZocToviMsg::GetInput().OnDataReceived(data + pos, chunk);
        pos += chunk;
        ++round;
        while (in.PopMessage(head, body)) {
            if (head.size > ZoMsg::kMaxBodySize || body.size() != head.size) {
                std::abort();
            }
            if (head.crc != 0 && !body.empty() && ZoCrc::Crc8(body.data(), body.size()) != head.crc) {
                std::abort();
            }
        }
    }
    if (in.GetMessagesPopped() > in.GetPreamblesFound()) {
        std::abort();
    }

    // The handlers' body parsing on unframed bytes of any length.
    const std::vector<uint8_t> raw(data, data + std::min<size_t>(size, 200));
    ZoMsg::Head rawHead;
    rawHead.size = uint16_t(raw.size());
    ZocToviMsg::OnToviInfo(rawHead, raw);
    ZocToviMsg::OnToviState(rawHead, raw);
    ZocLog::OnToviLogMessage(raw.data(), raw.size());
    ZocUi::ModalDialog::Clear(); // dialogs requested by rejected reports
    return 0;
}
