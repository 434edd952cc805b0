#pragma once

// Line speeds outside the standard termios constants, through the Linux
// termios2 interface (BOTHER). Kept apart because its kernel header cannot
// be included together with <termios.h>.
class ZotCustomBaudRate {
public:
    // The termios speed constant (speed_t) for one of the standard rates;
    // false when `baudRate` needs Set instead.
    static bool StandardSpeed(int baudRate, unsigned int& speed);
    // Sets input and output speed to `baudRate`; false (errno set) on failure.
    static bool Set(int fd, int baudRate);
    // The output speed in bits per second, or -1 (errno set).
    static int Get(int fd);
};
