// The application's camera, audio and discovery layers against a real
// tovi-sim process.
#include "app/ZocSettings.h"
#include "device/transport/ZocToviDeviceInfo.h"
#include "media/ZocMicrophone.h"
#include "platform/linux/ZomAudio.h"
#include "platform/linux/ZomCamera.h"
#include "platform/linux/ZomDeviceUtils.h"
#include "sim/SimProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
class SimBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim.Start({"--uid", "0123456789ABCDEF", "--video", "1920x1080@60"});
        setenv("ZT_SIM_REGISTRY", sim.Dir().c_str(), 1);
        id = sim.Entry()["id"];
    }
    void TearDown() override { unsetenv("ZT_SIM_REGISTRY"); }
    SimProcess sim;
    std::string id;
};

std::string FindCamera(const std::string& name) {
    for (const auto& camera : ZomCamera::GetCameras())
        if (camera.name == name)
            return camera.id;
    return {};
}
} // namespace

TEST_F(SimBackendTest, CameraDeliversFramesAtTheRequestedSizeAndIsLostWhenUnplugged) {
    std::string cameraId = FindCamera("Tovi (" + id + ")");
    ASSERT_FALSE(cameraId.empty());
    ZomCameraSpec wanted;
    wanted.width = 1280;
    wanted.height = 720;
    wanted.fpsNumerator = 30;
    std::string error;
    auto camera = ZomCamera::Open(cameraId, wanted, error);
    ASSERT_TRUE(camera) << error;
    EXPECT_EQ(camera->GetSpec().width, 1280);
    EXPECT_EQ(camera->GetSpec().fpsNumerator, 30);

    int frames = 0;
    uint64_t lastTimestamp = 0;
    ASSERT_TRUE(WaitUntil([&] {
        ZomCameraFrame frame;
        if (camera->AcquireFrame(frame) == ZomCameraDeviceI::Acquire::Frame) {
            EXPECT_EQ(frame.width, 1280);
            EXPECT_EQ(frame.pitch, 2560);
            EXPECT_GT(frame.timestampNs, lastTimestamp);
            lastTimestamp = frame.timestampNs;
            camera->ReleaseFrame(frame);
            ++frames;
        }
        return frames >= 5;
    }));

    // A size the camera does not offer is refused with a reason.
    wanted.width = 1366;
    wanted.height = 768;
    EXPECT_FALSE(ZomCamera::Open(cameraId, wanted, error));
    EXPECT_NE(error.find("1366x768"), std::string::npos) << error;

    sim.Ctl("unplug");
    EXPECT_TRUE(WaitUntil([&] {
        ZomCameraFrame frame;
        return camera->AcquireFrame(frame) == ZomCameraDeviceI::Acquire::Lost;
    }));
    EXPECT_TRUE(FindCamera("Tovi (" + id + ")").empty()) << "an unplugged camera is no longer listed";
}

TEST_F(SimBackendTest, AudioInputStreamsStereoSamples) {
    std::string name = ZocMicrophone::GetDeviceIdByIdString(id);
    ASSERT_EQ(name, "Tovi (" + id + ")");
    std::string error;
    auto input = ZomAudio::OpenInput(name, error);
    ASSERT_TRUE(input) << error;
    size_t total = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (input->Available() > 0) {
            uint8_t buffer[8192];
            long got = input->Read(buffer, sizeof(buffer));
            EXPECT_EQ(got % 4, 0) << "whole stereo frames";
            total += size_t(got);
        }
        return total >= 48000; // a quarter of a second of sound
    }));
}

TEST_F(SimBackendTest, DiscoveryFindsTheSimulatedTovi) {
    ZomDeviceUtils::SetRoots("/nonexistent", "/nonexistent"); // no real devices
    ZocToviDeviceInfo::ResetCaches();
    ZocToviDeviceInfo::ScanDeviceProc();
    ZomDeviceUtils::SetRoots("/sys", "/dev");
    // The real /dev is out of the way, so GetDevices only lists the simulator.
    auto list = ZocToviDeviceInfo::GetToviInfoList();
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].id, id);
    EXPECT_EQ((*list)[0].commPort, sim.Entry()["serial"].get<std::string>());
    EXPECT_EQ(ZocToviDeviceInfo::GetStatus(), ZocToviDeviceInfo::OneTovi);
}
