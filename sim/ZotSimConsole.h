#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The target computer's text console as the simulated Tovi's camera shows it:
// a fixed grid of ASCII cells with a cursor, line wrap and scrolling. Every
// row carries the generation number of its last change so that the frame
// renderer redraws only what changed. Not thread-safe (ZotSimTarget locks).
class ZotSimConsole {
public:
    static constexpr int kMinColumns = 80;
    static constexpr int kMinRows = 25;

    explicit ZotSimConsole(int columns = kMinColumns, int rows = kMinRows);

    void PutChar(char c); // printable ASCII; others show as '?'
    void Enter();         // carriage return and line feed
    void Backspace();     // cursor left and erase (joins the previous line at column 0)
    void Tab();           // to the next multiple of 8
    void MoveCursor(int dx, int dy);
    void Home() { SetCursor(0, mCursorY); }
    void End();
    void Clear();

    int GetColumns() const { return mColumns; }
    int GetRows() const { return mRows; }
    int GetCursorX() const { return mCursorX; }
    int GetCursorY() const { return mCursorY; }
    // The row's cells (exactly GetColumns() characters).
    const std::string& GetRow(int row) const { return mCells[size_t(row)]; }
    uint64_t GetRowGeneration(int row) const { return mRowGen[size_t(row)]; }
    uint64_t GetGeneration() const { return mGeneration; }
    // The screen as lines, trailing blanks and trailing empty lines removed.
    std::string Text() const;

private:
    void SetCursor(int x, int y);
    void LineFeed();
    void Touch(int row);

    int mColumns, mRows;
    int mCursorX = 0, mCursorY = 0;
    std::vector<std::string> mCells;
    std::vector<uint64_t> mRowGen;
    uint64_t mGeneration = 1;
};
