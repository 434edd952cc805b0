#include "sim/ZotSimConsole.h"

#include <algorithm>

ZotSimConsole::ZotSimConsole(int columns, int rows)
    : mColumns(std::max(columns, kMinColumns)), mRows(std::max(rows, kMinRows)),
      mCells(size_t(mRows), std::string(size_t(mColumns), ' ')), mRowGen(size_t(mRows), 1) {}

void ZotSimConsole::Touch(int row) {
    mRowGen[size_t(row)] = ++mGeneration;
}

void ZotSimConsole::SetCursor(int x, int y) {
    x = std::clamp(x, 0, mColumns - 1);
    y = std::clamp(y, 0, mRows - 1);
    if (x == mCursorX && y == mCursorY)
        return;
    Touch(mCursorY); // the cursor is drawn in its cell
    mCursorX = x;
    mCursorY = y;
    Touch(mCursorY);
}

void ZotSimConsole::LineFeed() {
    if (mCursorY + 1 < mRows) {
        SetCursor(mCursorX, mCursorY + 1);
        return;
    }
    mCells.erase(mCells.begin());
    mCells.emplace_back(size_t(mColumns), ' ');
    for (int r = 0; r < mRows; ++r)
        Touch(r);
}

void ZotSimConsole::PutChar(char c) {
    if (c < 0x20 || c > 0x7E)
        c = '?';
    mCells[size_t(mCursorY)][size_t(mCursorX)] = c;
    Touch(mCursorY);
    if (mCursorX + 1 < mColumns) {
        SetCursor(mCursorX + 1, mCursorY);
    } else {
        SetCursor(0, mCursorY);
        LineFeed();
    }
}

void ZotSimConsole::Enter() {
    SetCursor(0, mCursorY);
    LineFeed();
}

void ZotSimConsole::Backspace() {
    if (mCursorX > 0)
        SetCursor(mCursorX - 1, mCursorY);
    else if (mCursorY > 0)
        SetCursor(mColumns - 1, mCursorY - 1);
    else
        return;
    mCells[size_t(mCursorY)][size_t(mCursorX)] = ' ';
    Touch(mCursorY);
}

void ZotSimConsole::Tab() {
    SetCursor(std::min((mCursorX / 8 + 1) * 8, mColumns - 1), mCursorY);
}

void ZotSimConsole::MoveCursor(int dx, int dy) {
    SetCursor(mCursorX + dx, mCursorY + dy);
}

void ZotSimConsole::End() {
    const std::string& row = mCells[size_t(mCursorY)];
    const size_t last = row.find_last_not_of(' ');
    SetCursor(last == std::string::npos ? 0 : int(last) + 1, mCursorY);
}

void ZotSimConsole::Clear() {
    for (int r = 0; r < mRows; ++r) {
        mCells[size_t(r)].assign(size_t(mColumns), ' ');
        Touch(r);
    }
    SetCursor(0, 0);
}

std::string ZotSimConsole::Text() const {
    std::vector<std::string> lines;
    for (const std::string& row : mCells) {
        const size_t last = row.find_last_not_of(' ');
        lines.push_back(last == std::string::npos ? std::string() : row.substr(0, last + 1));
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}
