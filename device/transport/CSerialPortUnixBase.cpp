#include "device/transport/CSerialPortUnixBase.h"

#include "device/transport/ZotCustomBaudRate.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

unsigned int RoundUpToPowerOfTwo(unsigned int size) {
    if (size == 0) {
        return 4096;
    }
    unsigned int power = 1;
    while (power < size && power < (1u << 30)) {
        power <<= 1;
    }
    return power;
}

} // namespace

CSerialPortUnixBase::CSerialPortUnixBase() {
    setReadBufferSize(mReadBufferSize);
}

CSerialPortUnixBase::~CSerialPortUnixBase() {
    disconnectReadEvent();
    closePort();
    if (mMonitor.joinable() && mMonitor.get_id() != std::this_thread::get_id()) {
        mMonitor.join();
    }
    if (mWakeFd >= 0) {
        ::close(mWakeFd);
    }
}

void CSerialPortUnixBase::init(const char* portName, int baudRate, Parity parity, DataBits dataBits,
                               StopBits stopbits, FlowControl flowControl, unsigned int readBufferSize) {
    setPortName(portName);
    mBaudRate = baudRate;
    mParity = parity;
    mDataBits = dataBits;
    mStopBits = stopbits;
    mFlowControl = flowControl;
    setReadBufferSize(readBufferSize);
}

bool CSerialPortUnixBase::uartSet(int fd) {
    struct termios options;
    if (tcgetattr(fd, &options) != 0) {
        std::fprintf(stderr, "tcgetattr error\n");
        return false;
    }

    speed_t speed = B9600;
    const bool standard = ZotCustomBaudRate::StandardSpeed(mBaudRate, speed);
    if (standard) {
        cfsetispeed(&options, speed);
        cfsetospeed(&options, speed);
    }

    switch (mParity) {
    case ParityNone:
    case ParitySpace:
        options.c_cflag &= ~PARENB;
        break;
    case ParityOdd:
        options.c_cflag |= PARENB | PARODD;
        break;
    case ParityEven:
        options.c_cflag |= PARENB;
        options.c_cflag &= ~PARODD;
        break;
    default:
        std::fprintf(stderr, "unknown parity\n");
        return false;
    }

    options.c_cflag &= ~CSIZE;
    switch (mDataBits) {
    case DataBits5:
        options.c_cflag |= CS5;
        break;
    case DataBits6:
        options.c_cflag |= CS6;
        break;
    case DataBits7:
        options.c_cflag |= CS7;
        break;
    case DataBits8:
        options.c_cflag |= CS8;
        break;
    default:
        std::fprintf(stderr, "unknown data bits\n");
        return false;
    }

    switch (mStopBits) {
    case StopOne:
        options.c_cflag &= ~CSTOPB;
        break;
    case StopTwo:
        options.c_cflag |= CSTOPB;
        break;
    case StopOneAndHalf:
        std::fprintf(stderr, "POSIX does not support 1.5 stop bits\n");
        return false;
    default:
        std::fprintf(stderr, "unknown stop\n");
        return false;
    }

    options.c_cflag |= CLOCAL | CREAD;
    switch (mFlowControl) {
    case FlowNone:
        options.c_cflag &= ~CRTSCTS;
        options.c_iflag &= ~(IXON | IXOFF | IXANY);
        break;
    case FlowHardware:
        options.c_cflag |= CRTSCTS;
        options.c_iflag &= ~(IXON | IXOFF | IXANY);
        break;
    case FlowSoftware:
        options.c_cflag &= ~CRTSCTS;
        options.c_iflag |= IXON | IXOFF | IXANY;
        break;
    default:
        std::fprintf(stderr, "unknown flow control\n");
        return false;
    }

    // Raw mode.
    options.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN);
    options.c_iflag &= ~(INLCR | IGNCR | ICRNL | ISTRIP | IGNBRK | BRKINT | PARMRK | INPCK);
    if (mFlowControl != FlowSoftware) {
        options.c_iflag &= ~(IXON | IXOFF | IXANY);
    }
    options.c_oflag &= ~OPOST;
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = 0;

    tcflush(fd, TCIFLUSH);
    if (tcsetattr(fd, TCSANOW, &options) != 0) {
        std::perror("tcsetattr failed");
        return false;
    }
    if (!standard && !ZotCustomBaudRate::Set(fd, mBaudRate)) {
        std::fprintf(stderr, "ioctl TCSETS2 BOTHER custom baud rate error\n");
        return false;
    }
    return true;
}

bool CSerialPortUnixBase::openPort() {
    std::lock_guard<std::mutex> openLock(mOpenMutex);
    if (mFd >= 0) {
        setLastError(ErrorAlreadyOpen);
        return false;
    }
    if (mMonitor.joinable()) {
        mMonitor.join(); // a monitor closed from its own callback has ended by now
    }
    if (mWakeFd >= 0) {
        ::close(mWakeFd);
        mWakeFd = -1;
    }

    // The descriptor is kept non-blocking: reads take only what is waiting and
    // writes wait in poll() with a bound, so a stalled line cannot hang close().
    const int fd = ::open(mPortName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            setLastError(ErrorAccessDenied);
        } else if (error == ENOENT || error == ENODEV || error == ENXIO) {
            setLastError(ErrorNotExist);
        } else {
            setLastError(ErrorOpenFailed);
        }
        return false;
    }
    if (!uartSet(fd)) {
        std::fprintf(stderr, "uart set failed\n");
        ::close(fd);
        setLastError(ErrorInvalidParam);
        return false;
    }

    bufferClear();
    if (mOperateMode == AsynchronousOperate) {
        mWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (mWakeFd < 0) {
            std::fprintf(stderr, "Create read thread error.\n");
            ::close(fd);
            setLastError(ErrorInner);
            return false;
        }
    }
    {
        std::unique_lock<std::shared_mutex> lock(mFdMutex);
        mFd = fd;
    }
    if (mOperateMode == AsynchronousOperate) {
        mRunning = true;
        try {
            mMonitor = std::thread(&CSerialPortUnixBase::monitorLoop, this);
        } catch (...) {
            std::fprintf(stderr, "Create read thread error.\n");
            mRunning = false;
            std::unique_lock<std::shared_mutex> lock(mFdMutex);
            ::close(mFd);
            mFd = -1;
            ::close(mWakeFd);
            mWakeFd = -1;
            setLastError(ErrorInner);
            return false;
        }
    }
    clearError();
    return true;
}

void CSerialPortUnixBase::stopMonitor() {
    mRunning = false;
    if (mWakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(mWakeFd, &one, sizeof one);
    }
}

void CSerialPortUnixBase::closePort() {
    // Called from the listener on the monitor thread itself, the port is
    // closed without joining that thread: it ends once the callback returns
    // and is joined at the next open or at destruction.
    const bool onMonitor = mMonitor.joinable() && mMonitor.get_id() == std::this_thread::get_id();
    std::unique_lock<std::mutex> openLock(mOpenMutex, std::defer_lock);
    if (!onMonitor) {
        openLock.lock();
    }
    stopMonitor();
    if (!onMonitor && mMonitor.joinable()) {
        mMonitor.join();
    }
    {
        std::unique_lock<std::shared_mutex> lock(mFdMutex);
        if (mFd >= 0) {
            ::close(mFd);
            mFd = -1;
        }
    }
    if (!onMonitor && mWakeFd >= 0) {
        ::close(mWakeFd);
        mWakeFd = -1;
    }
}

bool CSerialPortUnixBase::isOpen() {
    return mFd >= 0;
}

void CSerialPortUnixBase::monitorLoop() {
    const int wakeFd = mWakeFd;
    int fd;
    {
        std::shared_lock<std::shared_mutex> lock(mFdMutex);
        fd = mFd;
    }
    while (mRunning) {
        int timeoutMs = -1;
        const unsigned int interval = mReadIntervalTimeoutMS;
        if (interval > 0) {
            std::lock_guard<std::mutex> lock(mBufferMutex);
            if (mUnnotified > 0) {
                const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - mFirstUnnotified)
                                        .count();
                timeoutMs = std::max<int>(0, int(interval) - int(waited));
            }
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (!mRunning) {
            break;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (ready == 0) { // the read interval ran out
            notifyListener();
            continue;
        }
        if (fds[1].revents != 0) {
            uint64_t count;
            [[maybe_unused]] ssize_t ignored = ::read(wakeFd, &count, sizeof count);
            continue;
        }
        int available = 0;
        if ((fds[0].revents & POLLIN) != 0 && ioctl(fd, FIONREAD, &available) != 0) {
            available = 0;
        }
        if (available > 0 && unsigned(available) < mMinByteReadNotify) {
            // Not enough yet: look again shortly (woken early by close).
            pollfd wake = {wakeFd, POLLIN, 0};
            ::poll(&wake, 1, 1);
            continue;
        }
        if (available <= 0) {
            // Hang-up or error without data (the other side is gone): do not
            // spin on the event; wait for close or for the line to recover.
            pollfd wake = {wakeFd, POLLIN, 0};
            ::poll(&wake, 1, 20);
            continue;
        }
        if (!readIntoBuffer(size_t(available))) {
            pollfd wake = {wakeFd, POLLIN, 0};
            ::poll(&wake, 1, 20);
            continue;
        }
        if (mReadIntervalTimeoutMS == 0) {
            notifyListener();
        } else {
            std::unique_lock<std::mutex> lock(mBufferMutex);
            const bool full = mBufferUsed >= mByteReadBufferFullNotify;
            lock.unlock();
            if (full) {
                notifyListener();
            }
        }
    }
}

bool CSerialPortUnixBase::readIntoBuffer(size_t available) {
    bool any = false;
    while (available > 0) {
        ssize_t got;
        {
            std::shared_lock<std::shared_mutex> lock(mFdMutex);
            if (mFd < 0) {
                return false;
            }
            got = ::read(mFd, mReadChunk.data(), std::min(available, mReadChunk.size()));
        }
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        bufferPush(mReadChunk.data(), size_t(got));
        available -= std::min(available, size_t(got));
        any = true;
    }
    return any;
}

void CSerialPortUnixBase::notifyListener() {
    unsigned int used;
    {
        std::lock_guard<std::mutex> lock(mBufferMutex);
        used = unsigned(mBufferUsed);
        mUnnotified = 0;
    }
    CSerialPortListener* listener = getListener();
    if (listener != nullptr && used > 0) {
        listener->onReadEvent(mPortName.c_str(), used);
    }
}

void CSerialPortUnixBase::bufferPush(const uint8_t* data, size_t length) {
    std::lock_guard<std::mutex> lock(mBufferMutex);
    const size_t capacity = mBuffer.size();
    if (length >= capacity) { // only the newest bytes fit
        data += length - capacity;
        length = capacity;
    }
    for (size_t i = 0; i < length;) {
        const size_t write = (mBufferRead + mBufferUsed) & (capacity - 1);
        const size_t run = std::min(length - i, capacity - write);
        std::memcpy(mBuffer.data() + write, data + i, run);
        i += run;
        mBufferUsed += run;
        if (mBufferUsed > capacity) { // overwrote the oldest
            mBufferRead = (mBufferRead + mBufferUsed - capacity) & (capacity - 1);
            mBufferUsed = capacity;
        }
    }
    if (mUnnotified == 0) {
        mFirstUnnotified = std::chrono::steady_clock::now();
    }
    mUnnotified += length;
}

size_t CSerialPortUnixBase::bufferPop(void* out, size_t length) {
    std::lock_guard<std::mutex> lock(mBufferMutex);
    const size_t capacity = mBuffer.size();
    length = std::min(length, mBufferUsed);
    auto* dst = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < length;) {
        const size_t run = std::min(length - i, capacity - mBufferRead);
        std::memcpy(dst + i, mBuffer.data() + mBufferRead, run);
        i += run;
        mBufferRead = (mBufferRead + run) & (capacity - 1);
        mBufferUsed -= run;
    }
    return length;
}

void CSerialPortUnixBase::bufferClear() {
    std::lock_guard<std::mutex> lock(mBufferMutex);
    mBufferUsed = 0;
    mBufferRead = 0;
    mUnnotified = 0;
}

unsigned int CSerialPortUnixBase::getReadBufferUsedLen() {
    std::lock_guard<std::mutex> lock(mBufferMutex);
    return unsigned(mBufferUsed);
}

int CSerialPortUnixBase::readData(void* data, int size) {
    if (!isOpen()) {
        setLastError(ErrorNotOpen);
        return -1;
    }
    if (data == nullptr || size < 0) {
        setLastError(ErrorInvalidParam);
        return -1;
    }
    if (mOperateMode == AsynchronousOperate) {
        return int(bufferPop(data, size_t(size)));
    }
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    const ssize_t got = ::read(mFd, data, size_t(size));
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
            return 0;
        }
        setLastError(ErrorInner);
        return -1;
    }
    return int(got);
}

int CSerialPortUnixBase::readAllData(void* data, int size) {
    return readData(data, size);
}

int CSerialPortUnixBase::readLineData(void*, int) {
    setLastError(isOpen() ? ErrorNotImplemented : ErrorNotOpen);
    return -1;
}

int CSerialPortUnixBase::writeData(const void* data, int size) {
    if (!isOpen()) {
        setLastError(ErrorNotOpen);
        return -1;
    }
    if (data == nullptr || size < 0) {
        setLastError(ErrorInvalidParam);
        return -1;
    }
    std::lock_guard<std::mutex> writeLock(mWriteMutex);
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    if (mFd < 0) {
        setLastError(ErrorNotOpen);
        return -1;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    int written = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (written < size) {
        const ssize_t n = ::write(mFd, p + written, size_t(size - written));
        if (n > 0) {
            written += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            setLastError(ErrorWriteFailed);
            return written > 0 ? written : -1;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break; // stalled line: report what went out
        }
        pollfd out = {mFd, POLLOUT, 0};
        if (::poll(&out, 1, int(left.count())) < 0 && errno != EINTR) {
            setLastError(ErrorWriteFailed);
            return written > 0 ? written : -1;
        }
        if ((out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (out.revents & POLLOUT) == 0) {
            setLastError(ErrorWriteFailed);
            return written > 0 ? written : -1;
        }
    }
    return written;
}

void CSerialPortUnixBase::setDebugModel(bool) {}

void CSerialPortUnixBase::setReadIntervalTimeout(unsigned int msecs) {
    mReadIntervalTimeoutMS = msecs;
}

void CSerialPortUnixBase::setMinByteReadNotify(unsigned int minByteReadNotify) {
    mMinByteReadNotify = minByteReadNotify;
}

bool CSerialPortUnixBase::flushBuffers() {
    bufferClear();
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    return mFd >= 0 && tcflush(mFd, TCIOFLUSH) == 0;
}

bool CSerialPortUnixBase::flushReadBuffers() {
    bufferClear();
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    return mFd >= 0 && tcflush(mFd, TCIFLUSH) == 0;
}

bool CSerialPortUnixBase::flushWriteBuffers() {
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    return mFd >= 0 && tcflush(mFd, TCOFLUSH) == 0;
}

void CSerialPortUnixBase::setPortName(const char* portName) {
    mPortName = portName != nullptr ? portName : "";
    if (mPortName.size() > kMaxPortNameLength) {
        mPortName.resize(kMaxPortNameLength);
    }
}

const char* CSerialPortUnixBase::getPortName() const {
    return mPortName.c_str();
}

void CSerialPortUnixBase::reapplyIfOpen() {
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    if (mFd >= 0) {
        uartSet(mFd);
    }
}

void CSerialPortUnixBase::setBaudRate(int baudRate) {
    mBaudRate = baudRate;
    reapplyIfOpen();
}

int CSerialPortUnixBase::getBaudRate() const {
    return mBaudRate;
}

void CSerialPortUnixBase::setParity(Parity parity) {
    mParity = parity;
    reapplyIfOpen();
}

Parity CSerialPortUnixBase::getParity() const {
    return mParity;
}

void CSerialPortUnixBase::setDataBits(DataBits dataBits) {
    mDataBits = dataBits;
    reapplyIfOpen();
}

DataBits CSerialPortUnixBase::getDataBits() const {
    return mDataBits;
}

void CSerialPortUnixBase::setStopBits(StopBits stopbits) {
    mStopBits = stopbits;
    reapplyIfOpen();
}

StopBits CSerialPortUnixBase::getStopBits() const {
    return mStopBits;
}

void CSerialPortUnixBase::setFlowControl(FlowControl flowControl) {
    mFlowControl = flowControl;
    reapplyIfOpen();
}

FlowControl CSerialPortUnixBase::getFlowControl() const {
    return mFlowControl;
}

void CSerialPortUnixBase::setReadBufferSize(unsigned int size) {
    if (isOpen()) {
        return; // the ring is in use by the monitor
    }
    mReadBufferSize = RoundUpToPowerOfTwo(size);
    std::lock_guard<std::mutex> lock(mBufferMutex);
    mBuffer.assign(mReadBufferSize, 0);
    mReadChunk.assign(std::min<size_t>(mReadBufferSize, 65536), 0);
    mBufferUsed = 0;
    mBufferRead = 0;
    mByteReadBufferFullNotify = mReadBufferSize * 4 / 5;
}

unsigned int CSerialPortUnixBase::getReadBufferSize() const {
    return mReadBufferSize;
}

bool CSerialPortUnixBase::setModemLine(int line, bool set, const char* errorText) {
    std::shared_lock<std::shared_mutex> lock(mFdMutex);
    if (mFd < 0) {
        setLastError(ErrorNotOpen);
        return false;
    }
    if (ioctl(mFd, set ? TIOCMBIS : TIOCMBIC, &line) != 0) {
        if (errno == ENOTTY || errno == EINVAL) {
            return true; // no modem lines (pseudo-terminal): not supported, not an error
        }
        std::fprintf(stderr, "%s\n", errorText);
        return false;
    }
    return true;
}

void CSerialPortUnixBase::setDtr(bool set) {
    setModemLine(TIOCM_DTR, set, "setDtr error");
}

void CSerialPortUnixBase::setRts(bool set) {
    setModemLine(TIOCM_RTS, set, "setRts error");
}
