#include "device/transport/ZotCustomBaudRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

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
