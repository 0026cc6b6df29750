// A bounded single-producer, single-consumer queue of variable-length messages in one block that is
// allocated when the queue is made. push never blocks, allocates or enters the kernel: it returns
// false when the message does not fit, and the caller counts it as lost. Each message is kept whole
// and contiguous: one that would cross the end of the block starts at its beginning, after a mark
// that tells the consumer to skip the rest.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace recorder {

class ByteRing {
public:
    // capacity: a power of two, at least 64 bytes. The block is zeroed here, so its pages are in
    // place before the first push.
    explicit ByteRing(std::size_t capacity)
        : block_(std::make_unique<unsigned char[]>(capacity)), capacity_(capacity) {}

    // Producer side. False when the message does not fit in the free space.
    bool push(const void* data, std::uint32_t size) {
        const std::uint64_t need = kHeader + rounded(size);
        if (need > capacity_) return false;
        std::uint64_t head = head_.load(std::memory_order_relaxed);
        const std::uint64_t tail = tail_.load(std::memory_order_acquire);
        std::uint64_t offset = head & (capacity_ - 1);
        const std::uint64_t toEnd = capacity_ - offset;  // at least kHeader: offsets are multiples of 8
        const std::uint64_t total = toEnd < need ? need + toEnd : need;
        if (capacity_ - (head - tail) < total) return false;
        if (toEnd < need) {
            std::memcpy(block_.get() + offset, &kSkip, sizeof kSkip);
            head += toEnd;
            offset = 0;
        }
        std::memcpy(block_.get() + offset, &size, sizeof size);
        std::memcpy(block_.get() + offset + kHeader, data, size);
        head_.store(head + need, std::memory_order_release);
        return true;
    }

    // Consumer side: hands each waiting message, in order, to visit(const unsigned char*, size).
    // Returns how many there were.
    template <class Visit>
    std::size_t drain(Visit&& visit) {
        std::uint64_t tail = tail_.load(std::memory_order_relaxed);
        const std::uint64_t head = head_.load(std::memory_order_acquire);
        std::size_t count = 0;
        while (tail != head) {
            const std::uint64_t offset = tail & (capacity_ - 1);
            std::uint32_t size = 0;
            std::memcpy(&size, block_.get() + offset, sizeof size);
            if (size == kSkip) {
                tail += capacity_ - offset;
            } else {
                visit(block_.get() + offset + kHeader, size);
                tail += kHeader + rounded(size);
                ++count;
            }
            tail_.store(tail, std::memory_order_release);  // the room is free again at once
        }
        return count;
    }

private:
    static constexpr std::uint64_t kHeader = 8;
    static constexpr std::uint32_t kSkip = 0xFFFFFFFFu;
    static constexpr std::uint64_t rounded(std::uint32_t size) {
        return (std::uint64_t{size} + 7) & ~std::uint64_t{7};
    }

    std::unique_ptr<unsigned char[]> block_;
    std::size_t capacity_;
    alignas(64) std::atomic<std::uint64_t> head_{0};
    alignas(64) std::atomic<std::uint64_t> tail_{0};
};

}  // namespace recorder
