#include "media/ZocVideoCapture.h"
#include "app/ZocSettings.h"
#include "platform/linux/ZomCamera.h"

#include <gtest/gtest.h>

#include <deque>

namespace {
// A camera backend with cameras whose frames the test feeds.
struct FakeCamera : ZomCameraDeviceI {
    ZomCameraSpec spec;
    std::deque<uint64_t>* pending;
    bool* lost;
    int* released;
    ZomCameraSpec GetSpec() const override { return spec; }
    Acquire AcquireFrame(ZomCameraFrame& frame) override {
        if (*lost)
            return Acquire::Lost;
        if (pending->empty())
            return Acquire::NoFrame;
        frame.timestampNs = pending->front();
        pending->pop_front();
        frame.width = spec.width;
        frame.height = spec.height;
        frame.slot = 0;
        return Acquire::Frame;
    }
    void ReleaseFrame(ZomCameraFrame& frame) override {
        ++*released;
        frame.slot = -1;
    }
    bool IsLost() const override { return *lost; }
};

struct FakeBackend : ZomCameraBackendI {
    std::vector<ZomCameraInfo> cameras;
    std::deque<uint64_t> pending;
    bool lost = false;
    int released = 0;
    std::string openedId;
    ZomCameraSpec requested;
    void List(std::vector<ZomCameraInfo>& out) override {
        out.insert(out.end(), cameras.begin(), cameras.end());
    }
    bool Owns(const std::string& id) const override { return id.rfind("fake:", 0) == 0; }
    std::unique_ptr<ZomCameraDeviceI> Open(const std::string& id, const ZomCameraSpec& spec,
                                           std::string& error) override {
        if (id == "fake:broken") {
            error = "busy";
            return nullptr;
        }
        openedId = id;
        requested = spec;
        auto camera = std::make_unique<FakeCamera>();
        camera->spec = spec;
        camera->spec.fpsNumerator = 30; // grants less than asked
        camera->pending = &pending;
        camera->lost = &lost;
        camera->released = &released;
        return camera;
    }
};

class VideoCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend = std::make_shared<FakeBackend>();
        backend->cameras = {{"fake:0", "Webcam"},
                            {"fake:1", "Tovi (1A2B3C4D17)"},
                            {"fake:2", "USB Tovi (1A2B3C4D17) second"},
                            {"fake:broken", "Tovi (DEAD0000)"}};
        ZomCamera::AddBackend(backend);
        capture = ZocVideoCaptureI::CreateInstance();
    }
    void TearDown() override {
        capture.reset();
        ZomCamera::RemoveBackend(backend);
        ZocVideoCapture::SetLostCameraHandler(nullptr);
    }
    std::shared_ptr<FakeBackend> backend;
    std::unique_ptr<ZocVideoCaptureI> capture;
};

struct Delivery {
    int consumer;
    uint64_t timestamp;
    uint64_t count;
};
std::vector<Delivery> gDeliveries;
void RecordA(void*, const ZomCameraFrame&, uint64_t ts, uint64_t count) {
    gDeliveries.push_back({1, ts, count});
}
void RecordB(void*, const ZomCameraFrame&, uint64_t ts, uint64_t count) {
    gDeliveries.push_back({2, ts, count});
}
} // namespace

TEST_F(VideoCaptureTest, ListsToviCamerasAndOpensTheFirstMatch) {
    auto names = ZocVideoCaptureI::GetToviDevices();
    std::vector<std::string> expected{"Tovi (1A2B3C4D17)", "USB Tovi (1A2B3C4D17) second", "Tovi (DEAD0000)"};
    EXPECT_EQ(names, expected);

    auto response = capture->Open("1A2B3C4D17");
    ASSERT_TRUE(response.success) << response.message;
    EXPECT_EQ(backend->openedId, "fake:1");
    const auto& video = ZocSettings::Instance().device.video;
    EXPECT_EQ(backend->requested.width, video.frameWidth);
    EXPECT_EQ(backend->requested.fpsNumerator, video.refreshRate);
    EXPECT_EQ(backend->requested.format, ZomCameraSpec::kFormatYuy2);
    int w, h, fps;
    EXPECT_EQ(capture->GetSpec(w, h, fps), ZomCameraSpec::kFormatYuy2);
    EXPECT_EQ(w, video.frameWidth);
    EXPECT_EQ(fps, 30) << "the granted rate, not the requested one";
}

TEST_F(VideoCaptureTest, OpenFailuresExplainThemselves) {
    auto missing = capture->Open("FFFF");
    EXPECT_FALSE(missing.success);
    EXPECT_EQ(missing.title, "Open Video Capture");
    EXPECT_EQ(missing.message, "The device was not found: FFFF");
    auto broken = capture->Open("DEAD0000");
    EXPECT_FALSE(broken.success);
    EXPECT_EQ(broken.message, "Failed to open camera: DEAD0000, error: busy");
    EXPECT_FALSE(capture->IsOpened());
}

TEST_F(VideoCaptureTest, DeliversFramesToConsumersInIdOrder) {
    EXPECT_EQ(capture->DoCapture(), ZocVideoCaptureI::NotOpen);
    ASSERT_TRUE(capture->Open("1A2B3C4D17").success);
    gDeliveries.clear();
    int b = capture->RegisterConsumer(RecordB, nullptr);
    int a = capture->RegisterConsumer(RecordA, nullptr);
    EXPECT_LT(b, a) << "ids grow";
    EXPECT_EQ(capture->DoCapture(), ZocVideoCaptureI::NoFrame);
    backend->pending = {100, 200};
    EXPECT_EQ(capture->DoCapture(), ZocVideoCaptureI::FrameDelivered);
    capture->UnRegisterConsumer(b);
    EXPECT_EQ(capture->DoCapture(), ZocVideoCaptureI::FrameDelivered);
    ASSERT_EQ(gDeliveries.size(), 3u);
    EXPECT_EQ(gDeliveries[0].consumer, 2); // registered first: lower id
    EXPECT_EQ(gDeliveries[1].consumer, 1);
    EXPECT_EQ(gDeliveries[2].consumer, 1);
    EXPECT_EQ(gDeliveries[2].timestamp, 200u);
    EXPECT_EQ(gDeliveries[2].count, 2u) << "a late consumer continues the capture's count";
    EXPECT_EQ(backend->released, 2) << "every frame goes back to the camera";
}

TEST_F(VideoCaptureTest, LostCameraIsReportedAndResetsOnClose) {
    int resets = 0;
    ZocVideoCapture::SetLostCameraHandler([&] { ++resets; });
    ASSERT_TRUE(capture->Open("1A2B3C4D17").success);
    backend->lost = true;
    EXPECT_EQ(capture->DoCapture(), ZocVideoCaptureI::CameraLost);
    capture->Close(false);
    EXPECT_EQ(resets, 1);
    EXPECT_FALSE(capture->IsOpened());
    capture->Close(false); // closing a closed capture does nothing
    EXPECT_EQ(resets, 1);

    backend->lost = false;
    ASSERT_TRUE(capture->Open("1A2B3C4D17").success);
    backend->lost = true;
    capture->Close(true); // the caller knows it is gone: only forget it
    EXPECT_EQ(resets, 1);
}
