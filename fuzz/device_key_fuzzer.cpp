// The device key and its comparison on arbitrary identity blocks: the key reads nothing outside
// bytes 16, 96 and 98..121, the comparison folds letters A..Z only and behaves as an equivalence.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drive/device_key.h"
#include "drive/vendor_blocks.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

namespace {

using vardel::DeviceKey;
using vardel::VendorBlock;

bool ReadByTheKey(std::size_t offset) {
    return offset == vardel::kSerialPresentOffset ||
           offset == vardel::kSerialDescriptorLengthOffset ||
           (offset >= vardel::kSerialCharactersOffset &&
            offset < vardel::kSerialCharactersOffset + vardel::kSerialBytesRead);
}

std::uint8_t Upper(std::uint8_t c) {
    return c >= 'a' && c <= 'z' ? static_cast<std::uint8_t>(c - 32) : c;
}

// The comparison as the key's users expect it, written out byte by byte.
bool SameDevice(const DeviceKey& a, const DeviceKey& b) {
    for (std::size_t i = 0; i < vardel::kDeviceKeySize; ++i) {
        if (Upper(a.bytes[i]) != Upper(b.bytes[i])) return false;
    }
    return true;
}

bool AllZero(const DeviceKey& key) {
    for (std::uint8_t byte : key.bytes) {
        if (byte != 0) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vardel::fuzz::FuzzInput input(data, size);
    alignas(vardel::kVendorBlockAlignment) VendorBlock first;
    alignas(vardel::kVendorBlockAlignment) VendorBlock second;
    input.Bytes(first, sizeof first);
    // The second block is the first with a few bytes changed, so that matching keys are common.
    std::memcpy(second, first, sizeof second);
    const std::size_t changes = input.Below(8);
    for (std::size_t i = 0; i < changes; ++i) {
        second[input.U16() % vardel::kVendorBlockSize] = input.Byte();
    }

    const DeviceKey a = vardel::ExtractDeviceKey(first);
    const DeviceKey b = vardel::ExtractDeviceKey(second);

    // No serial: the all-zero key, which every serial-less drive shares.
    const int characters = (first[vardel::kSerialDescriptorLengthOffset] - 2) / 2;
    if (first[vardel::kSerialPresentOffset] == 0 || characters <= 0) {
        VARDEL_FUZZ_CHECK(AllZero(a));
    }

    // Bytes the key does not read cannot change it.
    alignas(vardel::kVendorBlockAlignment) VendorBlock scrambled;
    for (std::size_t i = 0; i < vardel::kVendorBlockSize; ++i) {
        scrambled[i] = ReadByTheKey(i) ? first[i] : static_cast<std::uint8_t>(~first[i]);
    }
    const DeviceKey same = vardel::ExtractDeviceKey(scrambled);
    VARDEL_FUZZ_CHECK(std::memcmp(same.bytes, a.bytes, sizeof a.bytes) == 0);

    // Lower-case serial characters name the same device.
    alignas(vardel::kVendorBlockAlignment) VendorBlock lowered;
    std::memcpy(lowered, first, sizeof lowered);
    for (std::size_t i = 0; i < vardel::kSerialBytesRead; ++i) {
        std::uint8_t& c = lowered[vardel::kSerialCharactersOffset + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<std::uint8_t>(c + 32);
    }
    VARDEL_FUZZ_CHECK(vardel::KeysMatch(vardel::ExtractDeviceKey(lowered), a));

    VARDEL_FUZZ_CHECK(vardel::KeysMatch(a, a));
    VARDEL_FUZZ_CHECK(vardel::KeysMatch(a, b) == vardel::KeysMatch(b, a));
    VARDEL_FUZZ_CHECK(vardel::KeysMatch(a, b) == SameDevice(a, b));

    // Raw keys too: a zero byte does not end the comparison.
    DeviceKey rawA;
    DeviceKey rawB;
    input.Bytes(rawA.bytes, sizeof rawA.bytes);
    std::memcpy(rawB.bytes, rawA.bytes, sizeof rawB.bytes);
    rawB.bytes[input.Below(vardel::kDeviceKeySize)] = input.Byte();
    VARDEL_FUZZ_CHECK(vardel::KeysMatch(rawA, rawB) == SameDevice(rawA, rawB));
    return 0;
}
