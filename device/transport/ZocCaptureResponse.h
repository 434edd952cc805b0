#pragma once
#include <string>

// The outcome of opening a serial port, a camera or an audio input: on
// failure a title and message for the operator; both empty on success.
struct ZocCaptureResponse {
    std::string title;
    std::string message;
    bool success = false;

    static ZocCaptureResponse Ok() { return {{}, {}, true}; }
    static ZocCaptureResponse Fail(std::string title, std::string message) {
        return {std::move(title), std::move(message), false};
    }
};
