#pragma once
#include "terminal/ParseState.h"
#include "terminal/ScreenState.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ZotLogger;

namespace terminal {

// A self-contained character-cell terminal emulator over a plain byte stream
// (one byte per cell, no multi-byte decoding). Layers: Parser (bytes to
// actions) -> Dispatcher (actions to control functions, modes, replies) ->
// ScreenState (cells, cursor, margins). Not thread-safe: the caller
// serialises write() against draw() and read().
//
// The stream is untrusted (a target's serial console): collections are
// bounded (ParseState), the reply queue is capped at kMaxOutput bytes and
// the size at ScreenState's limits.
class Terminal {
public:
    static const uint8_t s_colormap[16][3]; // red, green, blue
    static constexpr size_t kMaxOutput = 64 * 1024;
    // DEC private modes above this number are recognised but not stored.
    static constexpr uint32_t kMaxDecMode = 65535;

    // Palette entry as a 0x00BBGGRR colour.
    static uint32_t paletteColour(unsigned index);
    // Foreground palette 7 on palette 0, no flags.
    static uint64_t defaultAttributes();

    Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Full reset (RIS) and the title "Terminal".
    void reset();
    void write(uint8_t byte);
    // Feeds `length` bytes; a negative length means a zero-terminated string.
    void write(const uint8_t* data, ptrdiff_t length);
    // Moves up to `capacity` bytes from the front of the output queue.
    size_t read(uint8_t* buffer, size_t capacity);
    // Appends to the output queue (dropped once it holds kMaxOutput bytes).
    void output(uint8_t byte);
    void output(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void resize(uint32_t columns, uint32_t rows);
    void title(const std::string& text);
    const std::string& title() const { return mTitle; }
    // Renders the screen into the current GUI window and appends the
    // characters typed this frame to the output queue.
    void draw();

    const ScreenState& screen() const { return mScreen; }
    const ParseState& parseState() const { return mParse; }
    const std::vector<uint8_t>& outputQueue() const { return mOutput; }
    bool ansiMode(uint32_t mode) const { return mAnsiModes[mode & 0xFF]; }
    bool decMode(uint32_t mode) const { return mode <= kMaxDecMode && mDecModes[mode]; }
    uint32_t contentWidth() const { return mContentWidth; }
    uint32_t contentHeight() const { return mContentHeight; }
    float blinkTime() const { return mBlinkTime; }

private:
    friend class Dispatcher;

    void setAnsiMode(uint32_t mode, bool on) { mAnsiModes[mode & 0xFF] = on; }
    void setDecMode(uint32_t mode, bool on);
    // The emulator's own parts of RIS (modes, parser collections) around the screen's.
    void fullReset();
    void append(const uint8_t* bytes, size_t count);

    ScreenState mScreen;
    std::bitset<256> mAnsiModes;
    std::bitset<kMaxDecMode + 1> mDecModes;
    std::string mTitle;
    float mBlinkPeriod = 1.0f;
    float mBlinkTime = 0.0f;
    ParseState mParse;
    std::vector<uint8_t> mOutput;
    uint32_t mContentHeight = 0;
    uint32_t mContentWidth = 0;
    std::shared_ptr<ZotLogger> mLog; // "Terminal", looked up once
    bool mOutputFullLogged = false;
};

} // namespace terminal
