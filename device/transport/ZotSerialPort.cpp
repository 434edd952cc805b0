#include "device/transport/ZotSerialPort.h"

#include "device/transport/ZotCustomBaudRate.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

static_assert(sizeof(speed_t) == sizeof(unsigned int), "termios speeds are passed as unsigned int");

ZotSerialPort::ZotSerialPort(const char* portName, int baudRate, int dataSize, char parity, int stopBits)
    : mPortName(portName != nullptr ? portName : ""), mBaudRate(baudRate),
      mDataSize(dataSize >= 5 && dataSize <= 8 ? dataSize : 8), mParity(parity),
      mStopBits(stopBits == 2 ? 2 : 1) {
    speed_t speed = B9600;
    mStandardSpeed = ZotCustomBaudRate::StandardSpeed(baudRate, speed);
    mSpeed = speed;
}

ZotSerialPort::~ZotSerialPort() {
    Close();
}

int ZotSerialPort::Open() {
    Close();
    const int fd = ::open(mPortName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct termios tio = {};
    tio.c_cflag = CREAD | CLOCAL;
    static const tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[mDataSize - 5];
    if (mStopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    if (mParity == 'O') {
        tio.c_cflag |= PARENB | PARODD;
        tio.c_iflag |= INPCK;
    } else if (mParity != 'N') {
        tio.c_cflag |= PARENB;
        tio.c_iflag |= INPCK;
    }
    cfsetispeed(&tio, mStandardSpeed ? mSpeed : B9600);
    cfsetospeed(&tio, mStandardSpeed ? mSpeed : B9600);
    if (mFlowControl == 2) {
        tio.c_cflag |= CRTSCTS;
    } else {
        tio.c_cflag &= ~CRTSCTS;
    }
    tcflush(fd, TCIFLUSH);
    cfmakeraw(&tio);
    tio.c_cflag |= CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (!mStandardSpeed && !ZotCustomBaudRate::Set(fd, mBaudRate)) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    // Raise DTR and drop it again; pseudo-terminals have no modem lines (ENOTTY).
    int dtr = TIOCM_DTR;
    if (ioctl(fd, TIOCMBIS, &dtr) == 0) {
        ioctl(fd, TIOCMBIC, &dtr);
    }
    mFd = fd;
    return 0;
}

void ZotSerialPort::Close() {
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
}

bool ZotSerialPort::ReadChar(char& c) {
    return Read(&c, 1) == 1;
}

int ZotSerialPort::Read(void* data, int size) {
    if (mFd < 0) {
        return -EBADF;
    }
    const ssize_t got = ::read(mFd, data, size_t(size));
    if (got < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -errno;
    }
    return int(got);
}

int ZotSerialPort::WriteChar(char c) {
    return Write(&c, 1);
}

int ZotSerialPort::Write(const void* data, int length) {
    if (length > kMaxWrite || length < 0) {
        return -1;
    }
    if (mFd < 0) {
        return -EBADF;
    }
    if (tcdrain(mFd) != 0) {
        return errno == EINTR ? 0 : -errno;
    }
    const ssize_t written = ::write(mFd, data, size_t(length));
    if (written < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -errno;
    }
    return int(written);
}
