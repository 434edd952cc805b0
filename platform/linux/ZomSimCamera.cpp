#include "platform/linux/ZomSimCamera.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

namespace {
constexpr int kRequestWaitMs = 1500;
constexpr uint32_t kPollsBetweenLivenessChecks = 200;
} // namespace

std::unique_ptr<ZomSimCamera> ZomSimCamera::Open(const std::string& shmName, const ZomCameraSpec& requested,
                                                 std::string& error) {
    std::unique_ptr<ZomSimCamera> camera(new ZomSimCamera());
    if (!camera->mReader.Open(shmName, ZotSimMedia::Kind::Video, error))
        return nullptr;
    const ZotSimMedia::Header* header = camera->mReader.GetHeader();
    if (requested.width <= 0 || requested.height <= 0 || uint32_t(requested.width) > header->maxWidth ||
        uint32_t(requested.height) > header->maxHeight || requested.width > 0xFFFF ||
        requested.height > 0xFFFF) {
        error = "the camera offers no stream of " + std::to_string(requested.width) + "x" +
                std::to_string(requested.height);
        return nullptr;
    }
    int fps = requested.fpsDenominator > 0 ? requested.fpsNumerator / requested.fpsDenominator : 0;
    if (fps <= 0 || fps > 0xFFFF)
        fps = 60;

    // Ask for the size and rate and wait for the producer's answer.
    uint16_t serial =
        camera->mReader.RequestFormat(uint16_t(requested.width), uint16_t(requested.height), uint16_t(fps));
    uint32_t state = 0;
    for (int waited = 0; waited < kRequestWaitMs && state == 0; waited += 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state = camera->mReader.RequestState(serial);
        if (header->state.load() == uint32_t(ZotSimMedia::State::Stopped)) {
            error = "the camera stopped";
            return nullptr;
        }
    }
    if (state != uint32_t(ZotSimMedia::RequestResult::Applied)) {
        error = state == 0 ? "the camera did not answer the format request"
                           : "the camera refused " + std::to_string(requested.width) + "x" +
                                 std::to_string(requested.height) + " at " + std::to_string(fps) + " fps";
        return nullptr;
    }
    camera->mSpec = requested;
    camera->mSpec.format = ZomCameraSpec::kFormatYuy2;
    camera->mSpec.fpsNumerator = fps;
    camera->mSpec.fpsDenominator = 1;
    camera->mFrame.resize(size_t(requested.width) * size_t(requested.height) * 2);
    return camera;
}

bool ZomSimCamera::ProducerGone() {
    pid_t pid = pid_t(mReader.GetHeader()->producerPid);
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
}

ZomCameraDeviceI::Acquire ZomSimCamera::AcquireFrame(ZomCameraFrame& frame) {
    if (mLost)
        return Acquire::Lost;
    bool copied = false;
    auto result = mReader.Read(
        [&](const ZotSimMediaReader::View& view) {
            // Frames of another size (before the request took effect) are skipped.
            if (view.fourcc != ZotSimMedia::kFourccYuy2 || int(view.width) != mSpec.width ||
                int(view.height) != mSpec.height)
                return;
            size_t row = size_t(mSpec.width) * 2;
            for (int y = 0; y < mSpec.height; ++y)
                std::memcpy(mFrame.data() + size_t(y) * row, view.data + size_t(y) * view.pitch, row);
            frame.timestampNs = view.timestampNs;
            copied = true;
        },
        true);
    switch (result) {
    case ZotSimMediaReader::Result::Frame:
        break;
    case ZotSimMediaReader::Result::Stopped:
    case ZotSimMediaReader::Result::Error:
        mLost = true;
        return Acquire::Lost;
    default:
        // A producer that died without saying so leaves the ring still.
        if (++mIdlePolls >= kPollsBetweenLivenessChecks) {
            mIdlePolls = 0;
            if (ProducerGone()) {
                mLost = true;
                return Acquire::Lost;
            }
        }
        return Acquire::NoFrame;
    }
    mIdlePolls = 0;
    if (!copied)
        return Acquire::NoFrame;
    frame.pixels = mFrame.data();
    frame.pitch = mSpec.width * 2;
    frame.width = mSpec.width;
    frame.height = mSpec.height;
    frame.format = ZomCameraSpec::kFormatYuy2;
    frame.sequence = ++mSequence;
    frame.slot = 0;
    return Acquire::Frame;
}

void ZomSimCamera::ReleaseFrame(ZomCameraFrame& frame) {
    frame.slot = -1;
    frame.pixels = nullptr;
}
