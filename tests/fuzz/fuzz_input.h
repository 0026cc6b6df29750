// The fuzz targets' view of libFuzzer's input: a cursor that hands out numbers, choices and strings,
// and zeros once the bytes run out, so that every input is a whole, valid run of a target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t left() const { return size_ - at_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : std::uint8_t{0}; }
    bool flag() { return (byte() & 1u) != 0; }

    std::uint32_t u32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = (value << 8) | byte();
        return value;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // A number in [low, high], from one byte when the range allows it.
    std::int32_t inRange(std::int32_t low, std::int32_t high) {
        const std::uint32_t span = static_cast<std::uint32_t>(high) - static_cast<std::uint32_t>(low);
        const std::uint32_t raw = span < 256u ? byte() : u32();
        const std::uint32_t offset =
            span == std::numeric_limits<std::uint32_t>::max() ? raw : raw % (span + 1u);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(low) + offset);
    }

    // One of the values of a list.
    template <class T, std::size_t N>
    const T& pick(const T (&values)[N]) {
        return values[static_cast<std::size_t>(byte()) % N];
    }

    double f64() {
        std::uint64_t bits = (static_cast<std::uint64_t>(u32()) << 32) | u32();
        double value = 0.0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    float f32() {
        const std::uint32_t bits = u32();
        float value = 0.0F;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A string of at most max bytes: a length byte (or two), then the bytes.
    std::string text(std::size_t max) {
        std::size_t length = byte();
        if (max > 255 && length == 255) length += static_cast<std::size_t>(byte()) << 8;
        if (length > max) length = max;
        if (length > left()) length = left();
        std::string value(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return value;
    }

    // Everything that is left.
    std::string_view rest() {
        const std::string_view value(reinterpret_cast<const char*>(data_ + at_), left());
        at_ = size_;
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzz
