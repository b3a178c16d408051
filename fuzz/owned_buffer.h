#pragma once
// A heap buffer of exactly the size asked for, starting `misalignment` bytes past a 16-byte
// boundary: the sanitizer sees a read or write past its end, and a direct-form record can point
// at it with any alignment.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace vardel::fuzz {

class OwnedBuffer {
  public:
    OwnedBuffer(std::size_t size, std::size_t misalignment)
        : block_(static_cast<std::uint8_t*>(
              ::operator new (size + misalignment, std::align_val_t{16}))),
          size_(size),
          misalignment_(misalignment) {}
    ~OwnedBuffer() { ::operator delete (block_, std::align_val_t{16}); }
    OwnedBuffer(const OwnedBuffer&) = delete;
    OwnedBuffer& operator=(const OwnedBuffer&) = delete;

    std::uint8_t* data() { return block_ + misalignment_; }
    std::size_t size() const { return size_; }

  private:
    std::uint8_t* block_;
    std::size_t size_;
    std::size_t misalignment_;
};

}  // namespace vardel::fuzz
