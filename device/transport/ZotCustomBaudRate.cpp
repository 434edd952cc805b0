#include "device/transport/ZotCustomBaudRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ZotCustomBaudRate::StandardSpeed(int baudRate, unsigned int& speed) {
    static const struct {
        int rate;
        unsigned int speed;
    } kRates[] = {{50, B50},       {75, B75},         {110, B110},      {134, B134},     {150, B150},
                  {200, B200},     {300, B300},       {600, B600},      {1200, B1200},   {1800, B1800},
                  {2400, B2400},   {4800, B4800},     {9600, B9600},    {19200, B19200}, {38400, B38400},
                  {57600, B57600}, {115200, B115200}, {230400, B230400}};
    for (const auto& entry : kRates) {
        if (entry.rate == baudRate) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

bool ZotCustomBaudRate::Set(int fd, int baudRate) {
    struct termios2 tio;
    if (baudRate <= 0 || ioctl(fd, TCGETS2, &tio) != 0) {
        return false;
    }
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baudRate);
    tio.c_ospeed = static_cast<speed_t>(baudRate);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

int ZotCustomBaudRate::Get(int fd) {
    struct termios2 tio;
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        return -1;
    }
    return static_cast<int>(tio.c_ospeed);
}
