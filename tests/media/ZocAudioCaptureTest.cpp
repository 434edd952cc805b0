#include "media/ZocAudioCapture.h"
#include "media/ZocMicrophone.h"
#include "platform/linux/ZomAudio.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <deque>

namespace {
struct FakeInput : ZomAudioInputI {
    std::deque<std::vector<uint8_t>>* blocks;
    size_t Available() override { return blocks->empty() ? 0 : blocks->front().size(); }
    long Read(uint8_t* data, size_t size) override {
        auto block = blocks->front();
        blocks->pop_front();
        size_t n = std::min(size, block.size());
        std::copy(block.begin(), block.begin() + long(n), data);
        return long(n);
    }
    const char* LastError() const override { return ""; }
};

struct FakeAudio : ZomAudioBackendI {
    std::vector<std::string> names{"Built-in Microphone", "USB Tovi (1a2B) Audio", "Tovi (xyz)", "Tovi ()"};
    std::deque<std::vector<uint8_t>> blocks;
    void List(std::vector<std::string>& out) override { out.insert(out.end(), names.begin(), names.end()); }
    bool Has(const std::string& name) override {
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    std::unique_ptr<ZomAudioInputI> Open(const std::string&, std::string&) override {
        auto input = std::make_unique<FakeInput>();
        input->blocks = &blocks;
        return input;
    }
};

std::vector<std::pair<int, size_t>> gBlocks;
void ConsumerA(void*, const uint8_t*, size_t size) {
    gBlocks.emplace_back(1, size);
}
void ConsumerB(void*, const uint8_t*, size_t size) {
    gBlocks.emplace_back(2, size);
}
} // namespace

class AudioCaptureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        SDL_InitSubSystem(SDL_INIT_AUDIO);
    }
    static void TearDownTestSuite() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }
    void SetUp() override {
        backend = std::make_shared<FakeAudio>();
        ZomAudio::AddBackend(backend);
    }
    void TearDown() override { ZomAudio::RemoveBackend(backend); }
    std::shared_ptr<FakeAudio> backend;
};

TEST_F(AudioCaptureTest, FindsToviInputsByTheirHexId) {
    struct Case {
        const char* name;
        bool tovi;
    } cases[] = {{"USB Tovi (1a2B)", true},
                 {"Tovi (xyz)", false},
                 {"Tovi ()", false},
                 {"Tovi 1a2b", false},
                 {"Tovi (x) and Tovi (0F) Audio", true},
                 {"Tovi (12", false}};
    for (const Case& c : cases)
        EXPECT_EQ(ZocMicrophone::IsToviName(c.name), c.tovi) << c.name;
    auto tovis = ZocMicrophone::GetDeviceList(true);
    EXPECT_NE(std::find(tovis.begin(), tovis.end(), "USB Tovi (1a2B) Audio"), tovis.end());
    EXPECT_EQ(std::find(tovis.begin(), tovis.end(), "Tovi (xyz)"), tovis.end());
    EXPECT_EQ(ZocMicrophone::GetDeviceIdByIdString("1a2B"), "USB Tovi (1a2B) Audio");
    EXPECT_EQ(ZocMicrophone::GetDeviceIdByIdString("ffff"), "");
}

TEST_F(AudioCaptureTest, OpenFailures) {
    auto capture = ZocAudioCaptureI::CreateInstance();
    auto empty = capture->Open("");
    EXPECT_EQ(empty.title, "Open Audio Capture");
    EXPECT_EQ(empty.message, "The audio input device may be disabled");
    EXPECT_EQ(capture->Open("ffff").message, "No audio input device was found for ffff");
    int channels = 0, frequency = 0;
    EXPECT_EQ(capture->GetSpec(channels, frequency), 0) << "closed";
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(frequency, 48000);
}

TEST_F(AudioCaptureTest, DrainsEverythingToConsumersInIdOrder) {
    auto capture = ZocAudioCaptureI::CreateInstance();
    auto response = capture->Open("1a2B");
    ASSERT_TRUE(response.success) << response.message;
    int channels, frequency;
    EXPECT_EQ(capture->GetSpec(channels, frequency), 0x8010);
    gBlocks.clear();
    capture->RegisterConsumer(ConsumerA, nullptr);
    capture->RegisterConsumer(ConsumerB, nullptr);
    backend->blocks = {std::vector<uint8_t>(8192), std::vector<uint8_t>(100)};
    capture->DoCapture();
    std::vector<std::pair<int, size_t>> expected{{1, 8192}, {2, 8192}, {1, 100}, {2, 100}};
    EXPECT_EQ(gBlocks, expected);
    capture->Close();
    EXPECT_FALSE(capture->IsOpened());
    capture->DoCapture(); // closed: nothing happens
}
