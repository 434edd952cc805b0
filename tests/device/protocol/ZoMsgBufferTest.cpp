#include "LogCapture.h"
#include "device/protocol/FrameBytes.h"
#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZoMsgOutBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct FakeOwner {
    bool allow = true;
    int posts = 0;
    bool lastPost = false;
    bool PrePushPacket(ZoMsg::Type, size_t) { return allow; }
    void PostPushPacket(bool ok) {
        ++posts;
        lastPost = ok;
    }
};

struct OutFixture {
    explicit OutFixture(size_t capacity = ZoRingBuffer::kDefaultCapacity) : out(owner, capacity) {}
    Bytes Drain() {
        Bytes bytes(out.GetUsed());
        bytes.resize(out.TakeBytes(bytes.data(), bytes.size()));
        return bytes;
    }
    FakeOwner owner;
    ZoMsgOutBuffer<FakeOwner> out;
};

using FrameBytes::MakeFrame;

struct Popped {
    uint16_t type;
    uint16_t seq;
    Bytes body;
    bool operator==(const Popped&) const = default;
};

std::vector<Popped> PopAll(ZoMsgInBuffer& in) {
    std::vector<Popped> result;
    ZoMsg::Head head;
    Bytes body;
    while (in.PopMessage(head, body)) {
        result.push_back({head.type, head.seq, body});
    }
    return result;
}

std::vector<Popped> Feed(ZoMsgInBuffer& in, const Bytes& bytes) {
    EXPECT_TRUE(in.Push(bytes.data(), bytes.size()));
    return PopAll(in);
}

// ---- send side ----

TEST(ZoMsgOutBuffer, GoldenFrames) {
    OutFixture f;
    ASSERT_TRUE(f.out.PushPacket(ZoMsg::Type::Disconnect));
    EXPECT_EQ(f.Drain(), (Bytes{0x3C, 0x5A, 0xA5, 0xC3, 0, 0, 1, 0, 20, 0, 0, 0, 0xC9, 0x6D, 0xD6, 0x9C}));

    ASSERT_TRUE(
        f.out.PushPacket(ZoMsg::Type::Ping, ZoMsg::Body::PingType{ZoMsg::Body::PingType::kKeepAlive}));
    EXPECT_EQ(f.Drain(), MakeFrame(200, 2, {2, 0}));
    EXPECT_EQ(MakeFrame(200, 2, {2, 0})[5], 0x2A);

    const ZoMsg::Body::ToviConfig config;
    ASSERT_TRUE(f.out.PushPacket(ZoMsg::Type::ToviConfig, config));
    Bytes frame = f.Drain();
    ASSERT_EQ(frame.size(), 36u);
    EXPECT_EQ(frame[4], 2); // flags
    EXPECT_EQ(frame[5], ZoCrc::Crc8(&config, sizeof config));

    // VCommData is always 260 bytes, whatever the count.
    uint8_t data[256] = {'h', 'i'};
    ASSERT_TRUE(f.out.PushPacket(ZoMsg::Type::VCommData, nullptr, int32_t(2), data));
    frame = f.Drain();
    ASSERT_EQ(frame.size(), 16u + 260);
    EXPECT_EQ(frame[4], 0);
    EXPECT_EQ(frame[10] | frame[11] << 8, 260);
    EXPECT_EQ(Bytes(frame.begin() + 12, frame.begin() + 18), (Bytes{2, 0, 0, 0, 'h', 'i'}));

    // Record + buffer: checksum over both, record first; a zero length sends the record alone.
    const uint8_t text[3] = {7, 8, 9};
    ASSERT_TRUE(f.out.PushPacketWithBuffer(ZoMsg::Type::DiskRead10, nullptr, int32_t(3), 3, text));
    EXPECT_EQ(f.Drain(), MakeFrame(650, 5, {3, 0, 0, 0, 7, 8, 9}));
    ASSERT_TRUE(f.out.PushPacketWithBuffer(ZoMsg::Type::DiskRead10, nullptr, int32_t(-10), 0, nullptr));
    EXPECT_EQ(f.Drain(), MakeFrame(650, 6, {0xF6, 0xFF, 0xFF, 0xFF}));
    ASSERT_TRUE(f.out.PushPacketWithBuffer(ZoMsg::Type::PasteText, nullptr, 3, text));
    EXPECT_EQ(f.Drain(), MakeFrame(420, 7, {7, 8, 9}));
    EXPECT_EQ(f.owner.posts, 7);
}

TEST(ZoMsgOutBuffer, SequenceNumbers) {
    OutFixture f;
    f.out.PushPacket(ZoMsg::Type::Keyboard, ZoMsg::Body::Keyboard{});
    uint16_t request = 0;
    f.out.PushPacket(ZoMsg::Type::MscDiskControl, &request, ZoMsg::Body::MscDisk::Command{1, 0},
                     ZoMsg::Body::MscDisk::Info{512, 100});
    EXPECT_EQ(request, 2); // assigned and handed back
    uint16_t reply = 0x4242;
    f.out.PushPacket(ZoMsg::Type::DiskWrite10, &reply, int32_t(512));
    EXPECT_EQ(reply, 0x4242);
    f.out.PushPacket(ZoMsg::Type::Reboot);
    const Bytes bytes = f.Drain();

    ZoMsgInBuffer in;
    const auto popped = Feed(in, bytes);
    ASSERT_EQ(popped.size(), 4u);
    EXPECT_EQ(popped[0].seq, 1);
    EXPECT_EQ(popped[1].seq, 2);
    EXPECT_EQ(popped[1].body.size(), 10u);
    EXPECT_EQ(popped[2].seq, 0x4242); // echoed; the counter did not move
    EXPECT_EQ(popped[3].seq, 3);

    for (int i = 3; i < 65535; ++i) {
        f.out.PushPacket(ZoMsg::Type::Ping);
        f.Drain();
    }
    EXPECT_EQ(f.out.GetSequenceCounter(), 65535);
    f.out.PushPacket(ZoMsg::Type::Ping);
    EXPECT_EQ(f.out.GetSequenceCounter(), 0); // wraps
}

TEST(ZoMsgOutBuffer, FullBufferDropsWholeFrame) {
    OutFixture f(64);
    f.out.PushPacket(ZoMsg::Type::Ping, ZoMsg::Body::PingType{}); // 18 bytes
    f.Drain();                                                    // ring positions now mid-storage
    LogCapture log;
    // Exactly the free space: accepted, wrapping around the end of the storage.
    const Bytes body(48, 0xAB);
    ASSERT_TRUE(f.out.PushPacketWithBuffer(ZoMsg::Type::VTermData, nullptr, body.size(), body.data()));
    EXPECT_TRUE(f.owner.lastPost);
    // One more byte does not fit: nothing written, the counter untouched.
    EXPECT_FALSE(f.out.PushPacket(ZoMsg::Type::Disconnect));
    EXPECT_FALSE(f.owner.lastPost);
    const std::string lines = log.Take();
    EXPECT_NE(lines.find("Out buffer is full, discard message, type 20, bodySize 0"), std::string::npos)
        << lines;
    EXPECT_EQ(f.out.GetUsed(), 64u);
    EXPECT_EQ(f.out.GetSequenceCounter(), 2);
    EXPECT_EQ(f.Drain(), MakeFrame(511, 2, body));

    // A refused pre-push check writes nothing and skips the post-push notice.
    f.owner.allow = false;
    const int posts = f.owner.posts;
    EXPECT_FALSE(f.out.PushPacket(ZoMsg::Type::Disconnect));
    EXPECT_EQ(f.owner.posts, posts);
    EXPECT_EQ(f.out.GetUsed(), 0u);
}

// ---- receive side ----

TEST(ZoMsgInBuffer, BodySizeLimitAndUncheckedCrc) {
    ZoMsgInBuffer in;
    const Bytes largest(1088, 0x11);
    auto popped = Feed(in, MakeFrame(511, 1, largest));
    ASSERT_EQ(popped.size(), 1u);
    EXPECT_EQ(popped[0].body, largest);

    LogCapture log;
    const Bytes tooLarge(1089, 0x11);
    EXPECT_TRUE(Feed(in, MakeFrame(511, 2, tooLarge)).empty());
    EXPECT_NE(log.Take().find("Msg.Body: size (1089) error"), std::string::npos);

    // crc 0 means "not checked", even for a corrupt body.
    Bytes frame = MakeFrame(511, 3, {1, 2, 3}, /*withCrc=*/false);
    frame[13] ^= 0xFF;
    popped = Feed(in, frame);
    ASSERT_EQ(popped.size(), 1u);
    EXPECT_EQ(popped[0].body, (Bytes{1, 0xFD, 3}));
    EXPECT_EQ(in.GetMessagesPopped(), 2u);
    EXPECT_EQ(in.GetPreamblesFound(), 3u);
}

TEST(ZoMsgInBuffer, FramesSplitAcrossReads) {
    const Bytes a = MakeFrame(101, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const Bytes b = MakeFrame(20, 2, {});
    Bytes stream = a;
    stream.insert(stream.end(), b.begin(), b.end());
    // Every split point of two frames, including inside the preamble (3C 5A | A5 C3).
    for (size_t split = 0; split <= stream.size(); ++split) {
        SCOPED_TRACE(split);
        ZoMsgInBuffer in;
        auto popped = Feed(in, Bytes(stream.begin(), stream.begin() + split));
        EXPECT_EQ(popped.size(), split >= a.size() + b.size() ? 2u : split >= a.size() ? 1u : 0u);
        const auto rest = Feed(in, Bytes(stream.begin() + split, stream.end()));
        popped.insert(popped.end(), rest.begin(), rest.end());
        ASSERT_EQ(popped.size(), 2u);
        EXPECT_EQ(popped[0].body.size(), 10u);
        EXPECT_EQ(popped[1].type, 20);
        EXPECT_EQ(in.GetParseState(), ZoMsgInBuffer::ParseState::SeekingPreamble);
    }
}

// Damaged input around valid frames: each row is a byte sequence that must
// yield exactly the listed frames.
TEST(ZoMsgInBuffer, ResynchronisesOnTheNextByte) {
    const Bytes good = MakeFrame(400, 7, {0, 0, 4, 0, 0, 0, 0, 0});
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const auto& p : parts) {
            all.insert(all.end(), p.begin(), p.end());
        }
        return all;
    };
    Bytes badSize = MakeFrame(511, 1, {1, 2});
    badSize[10] = 0x40; // size 64: the good frame lies inside the claimed body
    Bytes badPostamble = MakeFrame(511, 1, {1, 2});
    badPostamble.back() = 0;
    Bytes badCrc = MakeFrame(511, 1, {1, 2});
    badCrc[12] ^= 0x10;
    // A frame whose body carries a complete frame (e.g. a corrupted, longer frame).
    Bytes wrapper = MakeFrame(511, 1, good);
    wrapper[5] ^= 1;

    struct Case {
        const char* name;
        Bytes input;
        size_t frames;
    } cases[] = {
        {"stray 3C ahead of a frame", join({{0x3C}, good}), 1},
        {"broken preamble then frame", join({{0x3C, 0x5A, 0x3C, 0x5A, 0xA5, 0x00}, good}), 1},
        {"garbage between frames", join({good, {0x00, 0xFF, 0x3C, 0x5A, 0xA5}, good}), 2},
        {"oversized head", join({{0x3C, 0x5A, 0xA5, 0xC3, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, good}), 1},
        {"size covering the next frame", join({badSize, good, Bytes(64, 0)}), 1},
        {"bad postamble", join({badPostamble, good}), 1},
        {"bad crc", join({badCrc, good}), 1},
        {"frame inside a damaged body", wrapper, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ZoMsgInBuffer in;
        const auto popped = Feed(in, c.input);
        ASSERT_EQ(popped.size(), c.frames);
        for (const auto& p : popped) {
            EXPECT_EQ(p.type, 400);
            EXPECT_EQ(p.seq, 7);
        }
    }
}

TEST(ZoMsgInBuffer, DamageLogLines) {
    ZoMsgInBuffer in;
    LogCapture log;
    Feed(in, Bytes(25, 0x01));
    Bytes badPostamble = MakeFrame(511, 1, {0xAB, 0xCD, 0xEF});
    badPostamble[15 + 3] = 0x00;
    Feed(in, badPostamble);
    Bytes badCrc = MakeFrame(300, 1, {0x10, 0x20});
    badCrc[5] = 0x77;
    Feed(in, badCrc);
    const std::string lines = log.Take();
    for (const char* expected : {
             "Msg.Preamble/discarded: 0101 0101 0101 0101 0101 0101 0101 0101 0101 0101 ...",
             "Msg.Postamble: Wrong postamble [0x00D66DC9] found, discard 3 bytes",
             "Msg.Body/discarded: ABCD EF",
             "Msg.Crc: Mismatched CRC for 300, expected 77, actual ",
             "Msg.Body/discarded: 1020 ",
         }) {
        EXPECT_NE(lines.find(expected), std::string::npos) << expected << "\n" << lines;
    }
    EXPECT_EQ(in.GetMessagesPopped(), 0u);
    EXPECT_EQ(in.GetPreamblesFound(), 2u);
}

TEST(ZoMsgInBuffer, OverrunDropsChunkAndClearResets) {
    ZoMsgInBuffer in(64);
    const Bytes frame = MakeFrame(200, 1, {2, 0});
    EXPECT_TRUE(in.Push(frame.data(), 10)); // a partial frame stays stored
    LogCapture log;
    const Bytes big(60, 0);
    EXPECT_FALSE(in.Push(big.data(), big.size()));
    EXPECT_NE(log.Take().find("Buffer.Push/MsgIn: buffer overrun, requested 60, available 54, capacity 64"),
              std::string::npos);
    EXPECT_EQ(Feed(in, Bytes(frame.begin() + 10, frame.end())).size(), 1u);
    Feed(in, Bytes(frame.begin(), frame.begin() + 7));
    in.Clear();
    EXPECT_EQ(in.GetMessagesPopped(), 0u);
    EXPECT_EQ(in.GetPreamblesFound(), 0u);
    EXPECT_EQ(Feed(in, frame).size(), 1u);
}

// Valid frames mixed with garbage and frames damaged by one byte, fed in
// random chunks: every undamaged frame comes out exactly once, in order.
TEST(ZoMsgInBuffer, NoiseKeepsEveryUndamagedFrame) {
    std::mt19937 rng(20261211);
    auto rand = [&](uint32_t n) { return uint32_t(rng() % n); };
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        Bytes stream;
        std::vector<Popped> expected;
        for (uint16_t i = 1; i <= 200; ++i) {
            if (rand(3) == 0) { // garbage, biased towards preamble bytes
                for (uint32_t n = rand(40); n > 0; --n) {
                    stream.push_back(rand(4) == 0 ? ZoMsg::kPreambleBytes[rand(3)] : uint8_t(rng()));
                }
            }
            Bytes body(rand(5) == 0 ? rand(1089) : rand(40));
            for (auto& b : body) {
                b = uint8_t(rng());
            }
            Bytes frame = MakeFrame(uint16_t(100 + rand(600)), i, body);
            if (rand(4) == 0) {
                // One damaged byte where the parser must notice it: preamble,
                // crc (when checked), size, body (when checked) or postamble.
                const bool checked = frame[5] != 0 && !body.empty();
                std::vector<size_t> spots = {rand(4), 10, 11, frame.size() - 1 - rand(4)};
                if (checked) {
                    spots.push_back(5);
                    spots.push_back(12 + rand(uint32_t(body.size())));
                }
                const size_t spot = spots[rand(uint32_t(spots.size()))];
                const uint8_t old = frame[spot];
                frame[spot] = uint8_t(old ^ (1 + rand(255)));
                if (spot == 5 && frame[5] == 0) { // a crc of 0 would switch the check off
                    frame[5] = old == 0x80 ? 0x01 : uint8_t(old ^ 0x80);
                }
            } else {
                expected.push_back({uint16_t(frame[8] | frame[9] << 8), i, body});
            }
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
        stream.insert(stream.end(), 1200, 0); // lets an over-long claimed size run out

        ZoMsgInBuffer in;
        std::vector<Popped> popped;
        for (size_t pos = 0; pos < stream.size();) {
            const size_t n = std::min<size_t>(1 + rand(1500), stream.size() - pos);
            const auto got = Feed(in, Bytes(stream.begin() + pos, stream.begin() + pos + n));
            popped.insert(popped.end(), got.begin(), got.end());
            pos += n;
        }
        ASSERT_EQ(popped.size(), expected.size());
        EXPECT_TRUE(popped == expected);
        EXPECT_EQ(in.GetMessagesPopped(), expected.size());
    }
}

} // namespace
