// The recorder's ring: messages come out whole and in order across the end of the block, a full
// ring refuses a message instead of waiting and takes messages again once drained, and a producer
// and a consumer on two threads lose and reorder nothing (run under ThreadSanitizer on tsan).
#include "recorder/ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::vector<std::uint32_t> drainAll(recorder::ByteRing& ring) {
    std::vector<std::uint32_t> seen;
    ring.drain([&](const unsigned char* data, std::size_t size) {
        std::uint32_t value = 0;
        std::memcpy(&value, data, sizeof value);
        // Every byte of a message carries its number's low byte, so a torn message shows.
        for (std::size_t i = sizeof value; i < size; ++i)
            EXPECT_EQ(data[i], value & 0xFF) << "message " << value;
        seen.push_back(value);
    });
    return seen;
}

bool pushNumbered(recorder::ByteRing& ring, std::uint32_t value, std::uint32_t size) {
    std::vector<unsigned char> message(size, static_cast<unsigned char>(value & 0xFF));
    std::memcpy(message.data(), &value, sizeof value);
    return ring.push(message.data(), size);
}

TEST(ByteRing, MessagesComeOutWholeAndInOrderAcrossTheEnd) {
    recorder::ByteRing ring(256);
    std::uint32_t next = 0;
    std::uint32_t expected = 0;
    // Sizes that do not divide the block, so messages keep meeting its end.
    for (int round = 0; round < 50; ++round) {
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(pushNumbered(ring, next++, 20 + static_cast<std::uint32_t>(round % 7) * 4));
        for (std::uint32_t value : drainAll(ring)) EXPECT_EQ(value, expected++);
    }
    EXPECT_EQ(expected, next);
}

TEST(ByteRing, AFullRingRefusesWithoutWaitingAndTakesMessagesAfterADrain) {
    recorder::ByteRing ring(128);
    std::uint32_t pushed = 0;
    while (pushNumbered(ring, pushed, 24)) ++pushed;
    EXPECT_EQ(pushed, 128u / 32u);  // 24 bytes and an 8-byte header each
    EXPECT_FALSE(pushNumbered(ring, 99, 24));
    EXPECT_FALSE(pushNumbered(ring, 99, 200));  // larger than the whole block: never fits
    EXPECT_EQ(drainAll(ring).size(), pushed);
    EXPECT_TRUE(pushNumbered(ring, 7, 24));
    EXPECT_EQ(drainAll(ring), std::vector<std::uint32_t>{7});
}

TEST(ByteRing, TwoThreadsLoseNothingThatWasAccepted) {
    recorder::ByteRing ring(4096);
    constexpr std::uint32_t kMessages = 200000;
    std::vector<std::uint32_t> accepted;  // the producer's, read after it has ended
    std::atomic<bool> producerDone{false};
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kMessages; ++i) {
            // Every third message is given up when the ring is full, as the recorder does; the
            // others wait for room, so the ring keeps running full and empty in turn.
            const std::uint32_t size = 8 + (i % 13) * 4;
            bool pushed = pushNumbered(ring, i, size);
            while (!pushed && i % 3 != 0) {
                std::this_thread::yield();
                pushed = pushNumbered(ring, i, size);
            }
            if (pushed) accepted.push_back(i);
        }
        producerDone.store(true, std::memory_order_release);
    });
    std::vector<std::uint32_t> seen;
    for (;;) {
        const bool done = producerDone.load(std::memory_order_acquire);
        const std::vector<std::uint32_t> batch = drainAll(ring);
        seen.insert(seen.end(), batch.begin(), batch.end());
        if (done) break;  // this drain came after the producer's last push
        if (batch.empty()) std::this_thread::yield();
    }
    producer.join();
    EXPECT_EQ(seen, accepted);
    EXPECT_GT(seen.size(), kMessages * 2 / 3);
}

}  // namespace
