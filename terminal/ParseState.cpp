#include "terminal/ParseState.h"

namespace terminal {

ParseState::ParseState() {
    mIntermediates.reserve(kMaxIntermediates);
    mString.reserve(kMaxString);
    mParams.reserve(kMaxParams);
}

void ParseState::clear() {
    mIntermediates.clear();
    mString.clear();
    mParams.clear();
    mParamsFull = false;
}

void ParseState::collect(uint8_t byte) {
    if (mIntermediates.size() < kMaxIntermediates)
        mIntermediates.push_back(char(byte));
}

void ParseState::put(uint8_t byte) {
    if (mString.size() < kMaxString)
        mString.push_back(char(byte));
}

void ParseState::param(uint8_t byte) {
    if (byte == ';') {
        if (mParams.empty())
            mParams.push_back(0); // the empty first parameter
        if (mParams.size() < kMaxParams)
            mParams.push_back(0);
        else
            mParamsFull = true;
        return;
    }
    if (mParamsFull)
        return;
    if (mParams.empty())
        mParams.push_back(0);
    mParams.back() = mParams.back() * 10u + uint32_t(byte - '0'); // wraps modulo 2^32
}

} // namespace terminal
