#include "terminal/ScreenState.h"

#include <algorithm>
#include <cstring>

namespace terminal {

namespace {
constexpr uint32_t kResetColumns = 80;
constexpr uint32_t kResetRows = 24;

uint32_t atLeastOne(uint32_t n) {
    return n == 0 ? 1 : n;
}
} // namespace

ScreenState::ScreenState() {
    reset(0);
}

void ScreenState::reset(uint64_t attrs) {
    mCursor.mAttrs = attrs;
    resize(kResetColumns, kResetRows);
    mTop = 1;
    mBottom = mHeight;
    mLeft = 1;
    mRight = mWidth;
    mCursor.mRow = 1;
    mCursor.mCol = 1;
    mWrapPending = false;
    DECST8C();
}

void ScreenState::set_row(uint32_t row, bool absolute) {
    int64_t r = absolute ? int64_t(row) : int64_t(mTop) + row - 1;
    mCursor.mRow = uint32_t(std::clamp<int64_t>(r, mTop, mBottom));
    mWrapPending = false;
}

void ScreenState::set_col(uint32_t col, bool absolute) {
    int64_t c = absolute ? int64_t(col) : int64_t(mLeft) + col - 1;
    mCursor.mCol = uint32_t(std::clamp<int64_t>(c, mLeft, mRight));
    mWrapPending = false;
}

size_t ScreenState::index(uint32_t row, uint32_t col, bool absolute) const {
    if (!absolute) {
        row += mTop - 1;
        col += mLeft - 1;
    }
    return size_t(row - 1) * mWidth + (col - 1);
}

bool ScreenState::tabStop(uint32_t col) const {
    if (col < mLeft)
        return false;
    size_t i = col - mLeft;
    return i < mTabs.size() && mTabs[i] != 0;
}

void ScreenState::resize(uint32_t columns, uint32_t rows) {
    mWidth = std::clamp(columns, kMinColumns, kMaxColumns);
    mHeight = std::clamp(rows, kMinRows, kMaxRows);
    // Margins are kept unless they no longer fit; the cursor stays inside them.
    mBottom = std::min(mBottom, mHeight);
    mTop = std::min(mTop, mBottom);
    mRight = std::min(mRight, mWidth);
    if (mLeft >= mRight)
        mLeft = mRight - 1;
    mCursor.mRow = std::clamp(mCursor.mRow, mTop, mBottom);
    mCursor.mCol = std::clamp(mCursor.mCol, mLeft, mRight);
    mChars.assign(size_t(mWidth) * mHeight, ' ');
    mAttrs.assign(size_t(mWidth) * mHeight, mCursor.mAttrs);
    mTabs.resize(mWidth, 0);
}

void ScreenState::fill_rect(int64_t top, int64_t left, int64_t bottom, int64_t right, uint8_t byte,
                            bool absolute) {
    top = std::max<int64_t>(top, 1);
    left = std::max<int64_t>(left, 1);
    bottom = std::min<int64_t>(bottom, height(absolute));
    right = std::min<int64_t>(right, width(absolute));
    if (top > bottom || left > right)
        return;
    int64_t rowOffset = absolute ? 0 : mTop - 1;
    int64_t colOffset = absolute ? 0 : mLeft - 1;
    size_t count = size_t(right - left + 1);
    for (int64_t r = top; r <= bottom; ++r) {
        size_t i = size_t(r + rowOffset - 1) * mWidth + size_t(left + colOffset - 1);
        std::memset(&mChars[i], byte, count);
        std::fill_n(&mAttrs[i], count, mCursor.mAttrs);
    }
}

void ScreenState::fill_rect_if(int64_t top, int64_t left, int64_t bottom, int64_t right,
                               const CellPredicate& predicate, uint8_t byte, bool absolute) {
    top = std::max<int64_t>(top, 1);
    left = std::max<int64_t>(left, 1);
    bottom = std::min<int64_t>(bottom, height(absolute));
    right = std::min<int64_t>(right, width(absolute));
    int64_t rowOffset = absolute ? 0 : mTop - 1;
    int64_t colOffset = absolute ? 0 : mLeft - 1;
    for (int64_t r = top; r <= bottom; ++r) {
        for (int64_t c = left; c <= right; ++c) {
            uint32_t ar = uint32_t(r + rowOffset), ac = uint32_t(c + colOffset);
            size_t i = size_t(ar - 1) * mWidth + (ac - 1);
            if (predicate(ar, ac, mChars[i], mAttrs[i])) {
                mChars[i] = byte;
                mAttrs[i] = mCursor.mAttrs;
            }
        }
    }
}

void ScreenState::copy_rect(int64_t srcTop, int64_t srcLeft, int64_t srcBottom, int64_t srcRight,
                            int64_t dstTop, int64_t dstLeft, bool absolute) {
    const int64_t limitRows = height(absolute), limitCols = width(absolute);
    srcTop = std::max<int64_t>(srcTop, 1);
    srcLeft = std::max<int64_t>(srcLeft, 1);
    dstTop = std::max<int64_t>(dstTop, 1);
    dstLeft = std::max<int64_t>(dstLeft, 1);
    srcBottom = std::min(srcBottom, limitRows);
    srcRight = std::min(srcRight, limitCols);
    if (srcTop > srcBottom || srcLeft > srcRight || dstTop > limitRows || dstLeft > limitCols)
        return;
    const int64_t rows = std::min(srcBottom - srcTop + 1, limitRows - dstTop + 1);
    const size_t cols = size_t(std::min(srcRight - srcLeft + 1, limitCols - dstLeft + 1));
    const int64_t rowOffset = absolute ? 0 : mTop - 1;
    const int64_t colOffset = absolute ? 0 : mLeft - 1;
    auto at = [&](int64_t r, int64_t c) {
        return size_t(r + rowOffset - 1) * mWidth + size_t(c + colOffset - 1);
    };
    if (cols == mWidth) {
        // Whole screen rows are contiguous: one move for the block.
        size_t from = at(srcTop, srcLeft), to = at(dstTop, dstLeft), n = size_t(rows) * mWidth;
        std::memmove(&mChars[to], &mChars[from], n);
        std::memmove(&mAttrs[to], &mAttrs[from], n * sizeof(uint64_t));
        return;
    }
    // Rows are moved last-first when the destination lies below the source, so
    // an overlapping source is read before it is overwritten; memmove takes
    // care of overlap within a row.
    const bool backwards = dstTop > srcTop;
    for (int64_t k = 0; k < rows; ++k) {
        int64_t i = backwards ? rows - 1 - k : k;
        size_t from = at(srcTop + i, srcLeft), to = at(dstTop + i, dstLeft);
        std::memmove(&mChars[to], &mChars[from], cols);
        std::memmove(&mAttrs[to], &mAttrs[from], cols * sizeof(uint64_t));
    }
}

void ScreenState::restore_cursor() {
    mCursor = mSaved;
    // The margins or the size may have changed since the cursor was saved.
    mCursor.mRow = std::clamp(mCursor.mRow, mTop, mBottom);
    mCursor.mCol = std::clamp(mCursor.mCol, mLeft, mRight);
    mWrapPending = false;
}

void ScreenState::wrapToNextLine() {
    mWrapPending = false;
    mCursor.mCol = mLeft;
    if (mCursor.mRow < mBottom)
        ++mCursor.mRow;
    else
        SU(1);
}

void ScreenState::print(uint8_t byte, bool autowrap, bool insert) {
    if (mWrapPending && autowrap)
        wrapToNextLine();
    if (insert)
        ICH(1);
    size_t i = size_t(mCursor.mRow - 1) * mWidth + (mCursor.mCol - 1);
    mChars[i] = byte;
    mAttrs[i] = mCursor.mAttrs;
    if (mCursor.mCol < mRight)
        ++mCursor.mCol;
    else if (autowrap)
        mWrapPending = true;
}

void ScreenState::print(const uint8_t* bytes, size_t count, bool autowrap, bool insert) {
    if (insert) {
        for (size_t k = 0; k < count; ++k)
            print(bytes[k], autowrap, insert);
        return;
    }
    while (count > 0) {
        if (mWrapPending && autowrap)
            wrapToNextLine();
        size_t room = mRight - mCursor.mCol + 1;
        size_t n = std::min(count, room);
        size_t i = size_t(mCursor.mRow - 1) * mWidth + (mCursor.mCol - 1);
        std::memcpy(&mChars[i], bytes, n);
        std::fill_n(&mAttrs[i], n, mCursor.mAttrs);
        bytes += n;
        count -= n;
        if (n < room) {
            mCursor.mCol += uint32_t(n);
            continue;
        }
        // The last byte landed in the right margin column.
        mCursor.mCol = mRight;
        if (autowrap) {
            mWrapPending = true;
        } else if (count > 0) {
            // Without autowrap every further byte overwrites the last column.
            mChars[i + n - 1] = bytes[count - 1];
            count = 0;
        }
    }
}

void ScreenState::CUU(uint32_t n) {
    set_row(uint32_t(std::max<int64_t>(int64_t(mCursor.mRow) - atLeastOne(n), mTop)), true);
}

void ScreenState::CUD(uint32_t n) {
    set_row(uint32_t(std::min<int64_t>(int64_t(mCursor.mRow) + atLeastOne(n), mBottom)), true);
}

void ScreenState::CUF(uint32_t n) {
    set_col(uint32_t(std::min<int64_t>(int64_t(mCursor.mCol) + atLeastOne(n), mRight)), true);
}

void ScreenState::CUB(uint32_t n) {
    set_col(uint32_t(std::max<int64_t>(int64_t(mCursor.mCol) - atLeastOne(n), mLeft)), true);
}

void ScreenState::CUP(uint32_t row, uint32_t col) {
    VPA(row);
    CHA(col);
}

void ScreenState::CHA(uint32_t col) {
    set_col(std::min(atLeastOne(col), width()));
}

void ScreenState::VPA(uint32_t row) {
    set_row(std::min(atLeastOne(row), height()));
}

void ScreenState::CNL(uint32_t n) {
    n = atLeastOne(n);
    set_col(mLeft, true);
    if (mBottom - mCursor.mRow < n) {
        set_row(mBottom, true);
        SU(n);
    } else {
        set_row(mCursor.mRow + n, true);
    }
}

void ScreenState::CPL(uint32_t n) {
    set_col(mLeft, true);
    CUU(n);
}

void ScreenState::CR() {
    set_col(mLeft, true);
}

void ScreenState::BS() {
    if (mCursor.mCol > mLeft)
        set_col(mCursor.mCol - 1, true);
}

void ScreenState::LF() {
    mWrapPending = false;
    if (mCursor.mRow < mBottom)
        ++mCursor.mRow;
    else
        SU(1);
}

void ScreenState::NEL() {
    set_col(mLeft, true);
    LF();
}

void ScreenState::RI() {
    mWrapPending = false;
    if (mCursor.mRow > mTop)
        --mCursor.mRow;
    else
        SD(1);
}

void ScreenState::DECFI() {
    mWrapPending = false;
    if (mCursor.mCol < mRight)
        ++mCursor.mCol;
    else
        SL(1);
}

void ScreenState::DECBI() {
    mWrapPending = false;
    if (mCursor.mCol > mLeft)
        --mCursor.mCol;
    else
        SR(1);
}

void ScreenState::SU(uint32_t n) {
    const int64_t h = height(), w = width(), k = std::min<int64_t>(atLeastOne(n), h);
    copy_rect(1 + k, 1, h, w, 1, 1, false);
    blank(h - k + 1, 1, h, w, false);
}

void ScreenState::SD(uint32_t n) {
    const int64_t h = height(), w = width(), k = std::min<int64_t>(atLeastOne(n), h);
    copy_rect(1, 1, h - k, w, 1 + k, 1, false);
    blank(1, 1, k, w, false);
}

void ScreenState::SL(uint32_t n) {
    const int64_t h = height(), w = width(), k = std::min<int64_t>(atLeastOne(n), w);
    copy_rect(1, 1 + k, h, w, 1, 1, false);
    blank(1, w - k + 1, h, w, false);
}

void ScreenState::SR(uint32_t n) {
    const int64_t h = height(), w = width(), k = std::min<int64_t>(atLeastOne(n), w);
    copy_rect(1, 1, h, w - k, 1, 1 + k, false);
    blank(1, 1, h, k, false);
}

void ScreenState::CHT(uint32_t n) {
    n = atLeastOne(n);
    uint32_t c = mCursor.mCol, passed = 0;
    while (c < mRight) {
        ++c;
        if (tabStop(c) && ++passed == n)
            break;
    }
    set_col(c, true);
}

void ScreenState::CBT(uint32_t n) {
    n = atLeastOne(n);
    uint32_t c = mCursor.mCol, passed = 0;
    while (c > mLeft) {
        --c;
        if (tabStop(c) && ++passed == n)
            break;
    }
    set_col(c, true);
}

void ScreenState::HTS() {
    mTabs[mCursor.mCol - mLeft] = 1;
}

bool ScreenState::TBC(uint32_t p) {
    if (p == 0) {
        mTabs[mCursor.mCol - mLeft] = 0;
        return true;
    }
    if (p == 3) {
        std::fill_n(mTabs.begin(), std::min<size_t>(width(), mTabs.size()), 0);
        return true;
    }
    return false;
}

void ScreenState::DECST8C() {
    std::fill(mTabs.begin(), mTabs.end(), 0);
    for (uint32_t c = 9; c <= mWidth; c += 8) {
        if (c >= mLeft && c - mLeft < mTabs.size())
            mTabs[c - mLeft] = 1;
    }
}

bool ScreenState::ED(uint32_t p, bool selective) {
    const int64_t r = row(), c = col(), h = height(), w = width();
    switch (p) {
    case 0:
        blank(r, c, r, w, selective);
        blank(r + 1, 1, h, w, selective);
        return true;
    case 1:
        blank(1, 1, r - 1, w, selective);
        blank(r, 1, r, c, selective);
        return true;
    case 2:
        blank(1, 1, h, w, selective);
        return true;
    default:
        return false;
    }
}

bool ScreenState::EL(uint32_t p, bool selective) {
    const int64_t r = row(), c = col(), w = width();
    switch (p) {
    case 0:
        blank(r, c, r, w, selective);
        return true;
    case 1:
        blank(r, 1, r, c, selective);
        return true;
    case 2:
        blank(r, 1, r, w, selective);
        return true;
    default:
        return false;
    }
}

void ScreenState::ECH(uint32_t n) {
    const int64_t r = row(), c = col();
    blank(r, c, r, c + atLeastOne(n) - 1, false);
}

void ScreenState::ICH(uint32_t n) {
    const int64_t r = row(), c = col(), w = width(), k = std::min<int64_t>(atLeastOne(n), w - c + 1);
    copy_rect(r, c, r, w - k, r, c + k, false);
    blank(r, c, r, c + k - 1, false);
}

void ScreenState::DCH(uint32_t n) {
    const int64_t r = row(), c = col(), w = width(), k = std::min<int64_t>(atLeastOne(n), w - c + 1);
    copy_rect(r, c + k, r, w, r, c, false);
    blank(r, w - k + 1, r, w, false);
}

void ScreenState::IL(uint32_t n) {
    const int64_t r = row(), h = height(), w = width(), k = std::min<int64_t>(atLeastOne(n), h - r + 1);
    copy_rect(r, 1, h - k, w, r + k, 1, false);
    blank(r, 1, r + k - 1, w, false);
}

void ScreenState::DL(uint32_t n) {
    const int64_t r = row(), h = height(), w = width(), k = std::min<int64_t>(atLeastOne(n), h - r + 1);
    copy_rect(r + k, 1, h, w, r, 1, false);
    blank(h - k + 1, 1, h, w, false);
}

void ScreenState::DECCRA(uint32_t top, uint32_t left, uint32_t bottom, uint32_t right, uint32_t dstTop,
                         uint32_t dstLeft) {
    copy_rect(atLeastOne(top), atLeastOne(left), bottom ? bottom : height(), right ? right : width(),
              atLeastOne(dstTop), atLeastOne(dstLeft), false);
}

void ScreenState::DECERA(uint32_t top, uint32_t left, uint32_t bottom, uint32_t right, bool selective) {
    blank(atLeastOne(top), atLeastOne(left), bottom ? bottom : height(), right ? right : width(), selective);
}

void ScreenState::DECFRA(uint32_t byte, uint32_t top, uint32_t left, uint32_t bottom, uint32_t right) {
    if (!((byte >= 32 && byte <= 126) || (byte >= 160 && byte <= 255)))
        return;
    fill_rect(atLeastOne(top), atLeastOne(left), bottom ? bottom : height(), right ? right : width(),
              uint8_t(byte), false);
}

void ScreenState::DECSTBM(uint32_t top, uint32_t bottom) {
    mTop = std::min(atLeastOne(top), mHeight);
    mBottom = std::clamp(bottom ? bottom : mHeight, mTop, mHeight);
    mCursor.mRow = mTop;
    mCursor.mCol = mLeft;
    mWrapPending = false;
}

void ScreenState::DECSLRM(uint32_t left, uint32_t right) {
    mLeft = std::min(atLeastOne(left), mWidth - 1);
    mRight = std::clamp(right ? right : mWidth, mLeft + 1, mWidth);
    mCursor.mRow = mTop;
    mCursor.mCol = mLeft;
    mWrapPending = false;
}

void ScreenState::DECALN() {
    fill_rect(1, 1, height(), width(), 'E', false);
}

void ScreenState::blank(int64_t top, int64_t left, int64_t bottom, int64_t right, bool selective) {
    if (!selective) {
        fill_rect(top, left, bottom, right, ' ', false);
        return;
    }
    fill_rect_if(
        top, left, bottom, right,
        [](uint32_t, uint32_t, uint8_t, uint64_t attrs) { return !hasFlag(attrs, kProtected); }, ' ', false);
}

} // namespace terminal
