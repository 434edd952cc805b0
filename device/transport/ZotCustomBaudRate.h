#pragma once

// Line speeds outside the standard termios constants, through the Linux
// termios2 interface (BOTHER). Kept apart because its kernel header cannot
// be included together with <termios.h>.
class ZotCustomBaudRate {
public:
    // Sets input and output speed to `baudRate`; false (errno set) on failure.
    static bool Set(int fd, int baudRate);
    // The output speed in bits per second, or -1 (errno set).
    static int Get(int fd);
};
