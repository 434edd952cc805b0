#include "terminal/Terminal.h"

#include "terminal/Dispatcher.h"
#include "terminal/Parser.h"

#include <zotbase/ZotBase.h>

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <utility>

namespace terminal {

const uint8_t Terminal::s_colormap[16][3] = {
    {0, 0, 0},     {205, 0, 0},     {0, 205, 0},     {205, 205, 0},   {0, 0, 238}, {205, 0, 205},
    {0, 205, 205}, {229, 229, 229}, {127, 127, 127}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {92, 92, 255}, {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

uint32_t Terminal::paletteColour(unsigned index) {
    const uint8_t* c = s_colormap[index & 15];
    return uint32_t(c[0]) | (uint32_t(c[1]) << 8) | (uint32_t(c[2]) << 16);
}

uint64_t Terminal::defaultAttributes() {
    return attribute(paletteColour(7), paletteColour(0), 0);
}

Terminal::Terminal() : mLog(ZotLogManager::Instance().GetLogger("Terminal", ZotLogger::Level::Info)) {
    mOutput.reserve(256);
    reset();
}

void Terminal::reset() {
    fullReset();
    title("Terminal");
}

void Terminal::fullReset() {
    mParse.clear();
    mScreen.reset(defaultAttributes());
    mAnsiModes.reset();
    mDecModes.reset();
    mDecModes[7] = true;  // DECAWM
    mDecModes[8] = true;  // DECARM
    mDecModes[25] = true; // DECTCEM
}

void Terminal::setDecMode(uint32_t mode, bool on) {
    if (mode <= kMaxDecMode)
        mDecModes[mode] = on;
}

void Terminal::write(uint8_t byte) {
    if (mLog->IsEnabled(ZotLogger::Level::Debug))
        mLog->Debug("write(0x%02X)", byte);
    Parser::write(mParse, byte, Dispatcher::callbacks(), this, *mLog);
}

void Terminal::write(const uint8_t* data, ptrdiff_t length) {
    if (!data)
        return;
    const uint8_t* p = data;
    const uint8_t* end =
        length >= 0 ? data + length : data + std::char_traits<char>::length((const char*)data);
    if (mLog->IsEnabled(ZotLogger::Level::Debug)) {
        while (p < end)
            write(*p++);
        return;
    }
    while (p < end) {
        if (mParse.mState == Parser::Ground && *p >= 0x20 && *p <= 0x7F) {
            // A run of graphic bytes goes to the screen in one piece.
            const uint8_t* q = p + 1;
            while (q < end && *q >= 0x20 && *q <= 0x7F)
                ++q;
            mScreen.print(p, size_t(q - p), decMode(7), ansiMode(4));
            p = q;
            continue;
        }
        Parser::write(mParse, *p++, Dispatcher::callbacks(), this, *mLog);
    }
}

size_t Terminal::read(uint8_t* buffer, size_t capacity) {
    size_t n = std::min(capacity, mOutput.size());
    if (n == 0 || !buffer)
        return 0;
    std::copy_n(mOutput.begin(), n, buffer);
    mOutput.erase(mOutput.begin(), mOutput.begin() + ptrdiff_t(n));
    if (mOutput.empty())
        mOutputFullLogged = false;
    return n;
}

void Terminal::append(const uint8_t* bytes, size_t count) {
    // A reply is queued whole or not at all: a host that never reads must not
    // make the queue grow without limit.
    if (mOutput.size() + count > kMaxOutput) {
        if (!mOutputFullLogged)
            mLog->Error("output queue full, dropping %zu bytes", count);
        mOutputFullLogged = true;
        return;
    }
    mOutput.insert(mOutput.end(), bytes, bytes + count);
}

void Terminal::output(uint8_t byte) {
    append(&byte, 1);
}

void Terminal::output(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n <= 0)
        return;
    append(reinterpret_cast<const uint8_t*>(buffer), std::min<size_t>(size_t(n), sizeof(buffer) - 1));
}

void Terminal::resize(uint32_t columns, uint32_t rows) {
    mScreen.resize(columns, rows);
}

void Terminal::title(const std::string& text) {
    mTitle = text + "###Terminal";
}

void Terminal::draw() {
    ImGuiIO& io = ImGui::GetIO();
    mBlinkTime = std::fmod(mBlinkTime + io.DeltaTime, mBlinkPeriod);

    ImGui::CaptureKeyboardFromApp(true);
    for (ImWchar ch : io.InputQueueCharacters)
        output(uint8_t(ch));

    ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(0.0f, 0.0f));
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    const ImFont* font = ImGui::GetFont();
    const float scale = io.FontGlobalScale;
    const float cellWidth = font->FallbackAdvanceX * scale;
    const float cellHeight = (font->FontSize + 1.0f) * scale;
    const ImU32 textColour = ImGui::GetColorU32(ImGuiCol_Text);
    const bool screenReverse = decMode(5);
    const bool cursorVisible = decMode(25);
    const bool blinkHidden = mBlinkTime >= mBlinkPeriod * 0.5f;
    const CursorState& cursor = mScreen.cursor();
    const uint32_t width = mScreen.width(true), height = mScreen.height(true);

    // Cells hold single bytes; they are shown as Latin-1 so every cell is one
    // glyph and the columns stay aligned.
    static thread_local std::vector<char> text;
    text.resize(size_t(width) * 2 + 1);
    float widest = 0.0f;
    for (uint32_t r = 1; r <= height; ++r) {
        float lineWidth = 0.0f;
        uint32_t c = 1;
        while (c <= width) {
            const uint64_t attrs = mScreen.attr(r, c, true);
            const bool atCursor = r == cursor.mRow && c == cursor.mCol;
            uint32_t end = c + 1;
            while (end <= width && mScreen.attr(r, end, true) == attrs &&
                   !(r == cursor.mRow && end == cursor.mCol))
                ++end;
            const uint32_t cells = end - c;

            if (c > 1)
                ImGui::SameLine(0.0f, 0.0f);
            const ImVec2 pos = ImGui::GetCursorScreenPos();
            ImU32 fg = foreground(attrs), bg = background(attrs);
            if (hasFlag(attrs, kReverse) != screenReverse)
                std::swap(fg, bg);
            const float runWidth = float(cells) * cellWidth;
            drawList->AddRectFilled(pos, ImVec2(pos.x + runWidth, pos.y + cellHeight), bg);
            if (atCursor && cursorVisible)
                drawList->AddRect(pos, ImVec2(pos.x + cellWidth, pos.y + font->FontSize * scale), textColour,
                                  0.0f, 0, 1.0f);

            size_t len = 0;
            const bool hidden = hasFlag(attrs, kConcealed) || (hasFlag(attrs, kBlink) && blinkHidden);
            for (uint32_t k = c; k < end; ++k) {
                const uint8_t b = hidden ? uint8_t(' ') : mScreen.buf(r, k, true);
                if (b < 0x80) {
                    text[len++] = char(b);
                } else {
                    text[len++] = char(0xC0 | (b >> 6));
                    text[len++] = char(0x80 | (b & 0x3F));
                }
            }
            ImGui::PushStyleColor(ImGuiCol_Text, fg);
            ImGui::TextUnformatted(text.data(), text.data() + len);
            ImGui::PopStyleColor();
            if (!hidden && hasFlag(attrs, kUnderline)) {
                const float y = pos.y + cellHeight - 2.0f;
                drawList->AddLine(ImVec2(pos.x, y), ImVec2(pos.x + runWidth, y), fg, 1.0f);
            }
            lineWidth += runWidth;
            c = end;
        }
        widest = std::max(widest, lineWidth);
    }
    ImGui::PopStyleVar();
    mContentWidth = uint32_t(widest);
    mContentHeight = uint32_t(std::max(0.0f, ImGui::GetCursorPosY()));
}

} // namespace terminal
