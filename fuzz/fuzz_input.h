#pragma once
// Reads the fuzzer's bytes as the values a harness builds its case from. An exhausted input
// reads as zeros, so every input, however short, describes one whole case.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vardel::fuzz {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }

    bool Flag() { return (Byte() & 1) != 0; }

    std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }

    std::uint32_t U32() {
        return static_cast<std::uint32_t>(U16()) | static_cast<std::uint32_t>(U16()) << 16;
    }

    std::uint64_t U64() { return static_cast<std::uint64_t>(U32()) | std::uint64_t{U32()} << 32; }

    // A value in [0, count); count must not be 0.
    std::size_t Below(std::size_t count) { return Byte() % count; }

    // Fills `size` bytes; what the input does not cover is zero.
    void Bytes(void* out, std::size_t size) {
        if (size == 0) return;  // `out` may be the data of an empty vector: null
        const std::size_t available = position_ < size_ ? size_ - position_ : 0;
        const std::size_t taken = size < available ? size : available;
        if (taken > 0) std::memcpy(out, data_ + position_, taken);
        std::memset(static_cast<std::uint8_t*>(out) + taken, 0, size - taken);
        position_ += taken;
    }

    std::size_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace vardel::fuzz
