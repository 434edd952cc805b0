#include "platform/linux/ZomV4l2Camera.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {
constexpr int kBufferCount = 4;

int Xioctl(int fd, unsigned long request, void* arg) {
    int result;
    do {
        result = ioctl(fd, request, arg);
    } while (result == -1 && errno == EINTR);
    return result;
}

bool IsGone(int error) {
    return error == ENODEV || error == ENXIO || error == EIO;
}
} // namespace

std::vector<ZomV4l2FormatChooser::Offer> ZomV4l2Camera::EnumerateOffers(int fd) {
    std::vector<ZomV4l2FormatChooser::Offer> offers;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; Xioctl(fd, VIDIOC_ENUM_FMT, &desc) == 0 && desc.index < 64; ++desc.index) {
        if (desc.pixelformat != V4L2_PIX_FMT_YUYV && desc.pixelformat != V4L2_PIX_FMT_MJPEG)
            continue;
        v4l2_frmsizeenum size{};
        size.pixel_format = desc.pixelformat;
        for (size.index = 0; Xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0 && size.index < 256;
             ++size.index) {
            if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE)
                break; // stepwise sizes: the exact request is tried at open
            ZomV4l2FormatChooser::Offer offer{
                desc.pixelformat, int(size.discrete.width), int(size.discrete.height), {}};
            v4l2_frmivalenum interval{};
            interval.pixel_format = desc.pixelformat;
            interval.width = size.discrete.width;
            interval.height = size.discrete.height;
            for (interval.index = 0;
                 Xioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) == 0 && interval.index < 64;
                 ++interval.index) {
                if (interval.type != V4L2_FRMIVAL_TYPE_DISCRETE || interval.discrete.numerator == 0)
                    break;
                offer.rates.push_back(double(interval.discrete.denominator) / interval.discrete.numerator);
            }
            offers.push_back(std::move(offer));
        }
    }
    return offers;
}

std::unique_ptr<ZomV4l2Camera> ZomV4l2Camera::Open(const std::string& path, const ZomCameraSpec& requested,
                                                   std::string& error) {
    std::unique_ptr<ZomV4l2Camera> camera(new ZomV4l2Camera());
    camera->mFd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (camera->mFd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    int fps = requested.fpsDenominator > 0 ? requested.fpsNumerator / requested.fpsDenominator : 0;
    auto offers = EnumerateOffers(camera->mFd);
    ZomV4l2FormatChooser::Choice choice;
    if (offers.empty()) {
        // Cameras with stepwise sizes list nothing discrete: ask for YUYV.
        choice = {true, ZomV4l2FormatChooser::kYuyv, requested.width, requested.height, double(fps), {}};
    } else {
        choice = ZomV4l2FormatChooser::Choose(offers, requested.width, requested.height, fps);
        if (!choice.ok) {
            error = choice.error;
            return nullptr;
        }
    }

    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix.width = uint32_t(choice.width);
    format.fmt.pix.height = uint32_t(choice.height);
    format.fmt.pix.pixelformat = choice.fourcc;
    format.fmt.pix.field = V4L2_FIELD_NONE;
    if (Xioctl(camera->mFd, VIDIOC_S_FMT, &format) != 0) {
        error = std::string("setting the format failed: ") + std::strerror(errno);
        return nullptr;
    }
    if (format.fmt.pix.pixelformat != choice.fourcc) {
        error = "the camera refused the pixel format";
        return nullptr;
    }
    camera->mFourcc = format.fmt.pix.pixelformat;
    camera->mBytesPerLine = int(format.fmt.pix.bytesperline);
    camera->mSpec = requested;
    camera->mSpec.format = ZomCameraSpec::kFormatYuy2;
    camera->mSpec.width = int(format.fmt.pix.width);
    camera->mSpec.height = int(format.fmt.pix.height);

    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    parm.parm.capture.timeperframe.numerator = 1;
    parm.parm.capture.timeperframe.denominator = uint32_t(choice.rate + 0.5);
    if (Xioctl(camera->mFd, VIDIOC_S_PARM, &parm) == 0 && parm.parm.capture.timeperframe.numerator != 0) {
        camera->mSpec.fpsNumerator = int(parm.parm.capture.timeperframe.denominator);
        camera->mSpec.fpsDenominator = int(parm.parm.capture.timeperframe.numerator);
    } else {
        camera->mSpec.fpsNumerator = int(choice.rate + 0.5);
        camera->mSpec.fpsDenominator = 1;
    }
    if (camera->mFourcc == V4L2_PIX_FMT_MJPEG)
        camera->mDecoded.resize(size_t(camera->mSpec.width) * size_t(camera->mSpec.height) * 2);
    if (!camera->Start(error))
        return nullptr;
    return camera;
}

bool ZomV4l2Camera::Start(std::string& error) {
    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (Xioctl(mFd, VIDIOC_REQBUFS, &request) != 0 || request.count == 0) {
        error = std::string("the camera gave no streaming buffers: ") + std::strerror(errno);
        return false;
    }
    for (uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer buffer{};
        buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer.memory = V4L2_MEMORY_MMAP;
        buffer.index = i;
        if (Xioctl(mFd, VIDIOC_QUERYBUF, &buffer) != 0) {
            error = std::string("querying a buffer failed: ") + std::strerror(errno);
            return false;
        }
        void* start = mmap(nullptr, buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, mFd, buffer.m.offset);
        if (start == MAP_FAILED) {
            error = std::string("mapping a buffer failed: ") + std::strerror(errno);
            return false;
        }
        mBuffers.push_back({start, buffer.length});
        if (Xioctl(mFd, VIDIOC_QBUF, &buffer) != 0) {
            error = std::string("queueing a buffer failed: ") + std::strerror(errno);
            return false;
        }
    }
    v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Xioctl(mFd, VIDIOC_STREAMON, &type) != 0) {
        error = std::string("starting the stream failed: ") + std::strerror(errno);
        return false;
    }
    mStreaming = true;
    return true;
}

void ZomV4l2Camera::Stop() {
    if (mStreaming && !mLost) {
        v4l2_buf_type type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        Xioctl(mFd, VIDIOC_STREAMOFF, &type);
    }
    mStreaming = false;
    for (Buffer& buffer : mBuffers)
        munmap(buffer.start, buffer.length);
    mBuffers.clear();
}

ZomV4l2Camera::~ZomV4l2Camera() {
    Stop();
    if (mFd >= 0)
        ::close(mFd);
}

ZomCameraDeviceI::Acquire ZomV4l2Camera::AcquireFrame(ZomCameraFrame& frame) {
    if (mLost || !mStreaming)
        return mLost ? Acquire::Lost : Acquire::NoFrame;
    pollfd pfd{mFd, POLLIN, 0};
    int ready = poll(&pfd, 1, 0);
    if (ready < 0)
        return errno == EINTR ? Acquire::NoFrame : (mLost = true, Acquire::Lost);
    if (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        mLost = true;
        return Acquire::Lost;
    }
    if (!(pfd.revents & POLLIN))
        return Acquire::NoFrame;

    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (Xioctl(mFd, VIDIOC_DQBUF, &buffer) != 0) {
        if (IsGone(errno)) {
            mLost = true;
            return Acquire::Lost;
        }
        return Acquire::NoFrame;
    }
    if (buffer.index >= mBuffers.size())
        return Acquire::NoFrame;

    const auto* data = static_cast<const uint8_t*>(mBuffers[buffer.index].start);
    frame.width = mSpec.width;
    frame.height = mSpec.height;
    frame.format = ZomCameraSpec::kFormatYuy2;
    frame.timestampNs =
        uint64_t(buffer.timestamp.tv_sec) * 1000000000ull + uint64_t(buffer.timestamp.tv_usec) * 1000ull;
    frame.sequence = ++mSequence;
    frame.slot = int(buffer.index);
    bool usable = !(buffer.flags & V4L2_BUF_FLAG_ERROR);
    if (mFourcc == V4L2_PIX_FMT_MJPEG) {
        usable = usable && mDecoder.Decode(data, buffer.bytesused, mSpec.width, mSpec.height, mDecoded.data(),
                                           mSpec.width * 2);
        frame.pixels = mDecoded.data();
        frame.pitch = mSpec.width * 2;
    } else {
        usable = usable && buffer.bytesused >= uint32_t(mBytesPerLine) * uint32_t(mSpec.height);
        frame.pixels = data;
        frame.pitch = mBytesPerLine;
    }
    if (!usable) {
        // A damaged frame is dropped and its buffer goes straight back.
        ReleaseFrame(frame);
        return Acquire::NoFrame;
    }
    return Acquire::Frame;
}

void ZomV4l2Camera::ReleaseFrame(ZomCameraFrame& frame) {
    if (frame.slot < 0 || mLost)
        return;
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = uint32_t(frame.slot);
    if (Xioctl(mFd, VIDIOC_QBUF, &buffer) != 0 && IsGone(errno))
        mLost = true;
    frame.slot = -1;
    frame.pixels = nullptr;
}
