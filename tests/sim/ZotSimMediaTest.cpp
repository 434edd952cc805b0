#include "sim/ZotSimCamera.h"
#include "sim/ZotSimMediaReader.h"
#include "sim/ZotSimMediaWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {
using ZotSimMedia::Kind;
using Result = ZotSimMediaReader::Result;

std::string TestName(const char* what) {
    return "/zt-sim-test-" + std::to_string(getpid()) + "-" + what;
}

ZotSimMediaWriter::Params AudioParams(uint32_t slots) {
    ZotSimMediaWriter::Params p;
    p.kind = Kind::Audio;
    p.slotCount = slots;
    p.payloadCapacity = 64;
    p.sampleRate = 48000;
    p.channels = 2;
    p.bitsPerSample = 16;
    return p;
}

// Publishes one block whose payload is the byte `fill`, stamped `fill` * 10.
void PublishBlock(ZotSimMediaWriter& w, uint8_t fill) {
    std::memset(w.BeginSlot(), fill, 64);
    w.Publish(uint64_t(fill) * 10, 64);
}

struct Seen {
    uint64_t seq = 0, ts = 0;
    uint8_t first = 0;
};

Result ReadOne(ZotSimMediaReader& r, Seen& seen, bool newestOnly = false) {
    return r.Read(
        [&](const ZotSimMediaReader::View& v) {
            seen = {v.seq, v.timestampNs, v.data[0]};
        },
        newestOnly);
}

TEST(SimMediaTest, ReaderStartsAtTheNewestFrameAndThenFollowsInOrder) {
    ZotSimMediaWriter w;
    std::string error;
    ASSERT_TRUE(w.Create(TestName("order"), AudioParams(4), error)) << error;
    ZotSimMediaReader r;
    ASSERT_TRUE(r.Open(TestName("order"), Kind::Audio, error)) << error;
    Seen seen;
    EXPECT_EQ(ReadOne(r, seen), Result::NoFrame);
    PublishBlock(w, 1);
    PublishBlock(w, 2);
    ASSERT_EQ(ReadOne(r, seen), Result::Frame);
    EXPECT_EQ(seen.seq, 2u);
    EXPECT_EQ(seen.first, 2);
    EXPECT_EQ(seen.ts, 20u);
    PublishBlock(w, 3);
    PublishBlock(w, 4);
    ASSERT_EQ(ReadOne(r, seen), Result::Frame);
    EXPECT_EQ(seen.seq, 3u);
    ASSERT_EQ(ReadOne(r, seen), Result::Frame);
    EXPECT_EQ(seen.seq, 4u);
    EXPECT_EQ(ReadOne(r, seen), Result::NoFrame);
    EXPECT_EQ(r.GetMissed(), 0u);
    w.Destroy();
    EXPECT_EQ(ReadOne(r, seen), Result::Stopped);
}

TEST(SimMediaTest, AReaderThatFellBehindSkipsToTheOldestSafeFrameAndCountsTheLoss) {
    ZotSimMediaWriter w;
    std::string error;
    ASSERT_TRUE(w.Create(TestName("lapped"), AudioParams(4), error)) << error;
    ZotSimMediaReader r;
    ASSERT_TRUE(r.Open(TestName("lapped"), Kind::Audio, error)) << error;
    Seen seen;
    PublishBlock(w, 1);
    ASSERT_EQ(ReadOne(r, seen), Result::Frame);
    for (uint8_t i = 2; i <= 10; ++i)
        PublishBlock(w, i);
    // Slots hold 7..10, and the producer fills the slot of 7 next: 8 is the oldest safe one.
    ASSERT_EQ(ReadOne(r, seen), Result::Frame);
    EXPECT_EQ(seen.seq, 8u);
    EXPECT_EQ(seen.first, 8);
    EXPECT_EQ(r.GetMissed(), 6u);
    // newestOnly jumps ahead and counts what it skips.
    PublishBlock(w, 11);
    PublishBlock(w, 12);
    ASSERT_EQ(ReadOne(r, seen, true), Result::Frame);
    EXPECT_EQ(seen.seq, 12u);
    EXPECT_EQ(r.GetMissed(), 9u);
}

TEST(SimMediaTest, AFrameOverwrittenWhileTheConsumerUsesItIsReportedTorn) {
    ZotSimMediaWriter w;
    std::string error;
    ASSERT_TRUE(w.Create(TestName("torn"), AudioParams(3), error)) << error;
    ZotSimMediaReader r;
    ASSERT_TRUE(r.Open(TestName("torn"), Kind::Audio, error)) << error;
    PublishBlock(w, 1);
    const Result result = r.Read([&](const ZotSimMediaReader::View&) {
        for (uint8_t i = 2; i <= 4; ++i) // laps the ring during the consumer call
            PublishBlock(w, i);
    });
    EXPECT_EQ(result, Result::Torn);
    EXPECT_EQ(r.GetMissed(), 1u);
}

TEST(SimMediaTest, MalformedHeadersAreRefused) {
    struct Case {
        const char* name;
        void (*damage)(ZotSimMedia::Header&);
    } cases[] = {
        {"magic", [](ZotSimMedia::Header& h) { h.magic ^= 1; }},
        {"version", [](ZotSimMedia::Header& h) { h.version = 99; }},
        {"slots beyond the object", [](ZotSimMedia::Header& h) { h.slotCount = 4000; }},
        {"stride beyond the object", [](ZotSimMedia::Header& h) { h.slotStride = 1U << 30; }},
        {"stride smaller than a slot header", [](ZotSimMedia::Header& h) { h.slotStride = 8; }},
        {"offset inside the header", [](ZotSimMedia::Header& h) { h.slotsOffset = 8; }},
    };
    for (const Case& c : cases) {
        ZotSimMediaWriter w;
        std::string error;
        ASSERT_TRUE(w.Create(TestName("bad"), AudioParams(4), error)) << error;
        c.damage(*w.GetHeader());
        ZotSimMediaReader r;
        EXPECT_FALSE(r.Open(TestName("bad"), Kind::Audio, error)) << c.name;
    }
    ZotSimMediaWriter w;
    std::string error;
    ASSERT_TRUE(w.Create(TestName("kind"), AudioParams(4), error)) << error;
    ZotSimMediaReader r;
    EXPECT_FALSE(r.Open(TestName("kind"), Kind::Video, error));
    EXPECT_FALSE(r.Open(TestName("missing"), Kind::Audio, error));
}

TEST(SimMediaTest, CameraSwitchesToAFormatTheReaderRequests) {
    ZotSimTarget target(80, 25);
    ZotSimEventLog log;
    ZotSimCamera camera(target, log);
    std::string error;
    ASSERT_TRUE(camera.Start(TestName("camera"), 640, 480, 30, 3, "test", error)) << error;
    ZotSimMediaReader r;
    ASSERT_TRUE(r.Open(TestName("camera"), Kind::Video, error)) << error;

    auto waitFor = [&](auto done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return done();
    };
    const uint16_t bad = r.RequestFormat(1000, 1000, 30);
    ASSERT_TRUE(waitFor([&] { return r.RequestState(bad) != 0; }));
    EXPECT_EQ(r.RequestState(bad), uint32_t(ZotSimMedia::RequestResult::Unsupported));

    const uint16_t good = r.RequestFormat(1280, 720, 25);
    ASSERT_TRUE(waitFor([&] { return r.RequestState(good) != 0; }));
    EXPECT_EQ(r.RequestState(good), uint32_t(ZotSimMedia::RequestResult::Applied));
    ZotSimMediaReader::View last;
    ASSERT_TRUE(waitFor([&] {
        r.Read([&](const ZotSimMediaReader::View& v) { last = v; }, true);
        return last.width == 1280;
    }));
    EXPECT_EQ(last.height, 720u);
    EXPECT_EQ(last.pitch, 2560u);
    EXPECT_EQ(last.fps, 25u);
    EXPECT_EQ(last.fourcc, ZotSimMedia::kFourccYuy2);
    EXPECT_EQ(camera.GetMode(), "1280x720@25");
}
} // namespace
