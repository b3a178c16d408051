// The device key: which identity-block bytes make a device's identity, and when two are the same.

#include "drive/device_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/vendor_blocks.h"
#include "support/case_name.h"

namespace vardel {
namespace {

// An identity block whose serial bytes 98..137 hold 0x40 + position (so every byte is telling),
// with the given flag and descriptor length.
void MakeIdentity(VendorBlock& block, std::uint8_t serialFlag, std::uint8_t descriptorLength) {
    std::memset(block, 0x5A, sizeof(block));
    block[kSerialPresentOffset] = serialFlag;
    block[kSerialDescriptorLengthOffset] = descriptorLength;
    for (std::size_t i = 0; i < 40; ++i) {
        block[kSerialCharactersOffset + i] = static_cast<std::uint8_t>(0x40 + i);
    }
}

std::vector<std::uint8_t> KeyBytes(const DeviceKey& key) {
    return std::vector<std::uint8_t>(key.bytes, key.bytes + kDeviceKeySize);
}

// Key bytes for a serial of `characters` characters: low bytes of characters 0..11, then high
// bytes of characters 0..11, cut at `characters` (and at 24).
std::vector<std::uint8_t> ExpectedKey(int characters) {
    std::vector<std::uint8_t> key(kDeviceKeySize, 0);
    for (int i = 0; i < characters && i < 24; ++i) {
        const int offset = 2 * (i % 12) + i / 12;  // from byte 98
        key[i] = static_cast<std::uint8_t>(0x40 + offset);
    }
    return key;
}

struct KeyCase {
    const char* name;
    std::uint8_t serialFlag;
    std::uint8_t descriptorLength;
    int characters;  // how many key bytes come from the serial
};

class DeviceKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DeviceKeyTest, TakesLowThenHighBytesOfTheFirstTwelveCharacters) {
    VendorBlock block;
    MakeIdentity(block, GetParam().serialFlag, GetParam().descriptorLength);
    EXPECT_EQ(KeyBytes(ExtractDeviceKey(block)), ExpectedKey(GetParam().characters));
}

INSTANTIATE_TEST_SUITE_P(Serials, DeviceKeyTest,
                         ::testing::Values(KeyCase{"NoSerialFlag", 0, 26, 0},
                                           KeyCase{"Length0", 1, 0, 0}, KeyCase{"Length1", 1, 1, 0},
                                           KeyCase{"Length2", 1, 2, 0}, KeyCase{"Length3", 1, 3, 0},
                                           KeyCase{"OneCharacter", 1, 4, 1},
                                           KeyCase{"OddLengthRoundsDown", 1, 7, 2},
                                           KeyCase{"TwelveCharacters", 1, 26, 12},
                                           KeyCase{"ThirteenCharacters", 1, 28, 13},
                                           KeyCase{"TwentyFourCharacters", 1, 50, 24},
                                           KeyCase{"LongerSerialReadsOnlyBytes98To121", 1, 200, 24},
                                           KeyCase{"LongestDescriptor", 1, 255, 24}),
                         testing_support::CaseName());

TEST(DeviceKey, TwelveCharacterSerialUsesBytes98To120AndLeavesTheHighHalfZero) {
    VendorBlock block;
    MakeIdentity(block, 1, 26);
    const DeviceKey key = ExtractDeviceKey(block);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(key.bytes[i], block[98 + 2 * i]) << i;
    for (int i = 12; i < 24; ++i) EXPECT_EQ(key.bytes[i], 0) << i;
}

TEST(DeviceKey, TwentyFourCharacterSerialPutsHighBytesIntoTheSecondHalf) {
    VendorBlock block;
    MakeIdentity(block, 1, 50);
    const DeviceKey key = ExtractDeviceKey(block);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(key.bytes[12 + i], block[99 + 2 * i]) << i;
}

DeviceKey KeyOf(const std::vector<std::uint8_t>& bytes) {
    DeviceKey key = {};
    if (!bytes.empty()) std::memcpy(key.bytes, bytes.data(), bytes.size());
    return key;
}

struct MatchCase {
    const char* name;
    std::vector<std::uint8_t> a;
    std::vector<std::uint8_t> b;
    bool match;
};

class KeysMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(KeysMatchTest, ComparesAll24BytesFoldingOnlyLetters) {
    const DeviceKey a = KeyOf(GetParam().a);
    const DeviceKey b = KeyOf(GetParam().b);
    EXPECT_EQ(KeysMatch(a, b), GetParam().match);
    EXPECT_EQ(KeysMatch(b, a), GetParam().match);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeysMatchTest,
    ::testing::Values(
        MatchCase{"AllZero", {}, {}, true},
        MatchCase{"LetterCaseFolds", {'a', 'b', 'z', '1'}, {'A', 'B', 'Z', '1'}, true},
        MatchCase{"DigitsDiffer", {'A', '1'}, {'A', '2'}, false},
        // '@' and '`', '[' and '{' differ by the case bit but are not letters.
        MatchCase{"AtAndBacktickDiffer", {'@'}, {'`'}, false},
        MatchCase{"BracketAndBraceDiffer", {'['}, {'{'}, false},
        MatchCase{"AccentedLettersDoNotFold", {0xE9}, {0xC9}, false},
        MatchCase{"ZeroByteDoesNotEndTheComparison", {'A', 0, 'B'}, {'A', 0, 'C'}, false},
        MatchCase{"LastByteCounts", std::vector<std::uint8_t>(24, 'X'),
                  [] {
                      std::vector<std::uint8_t> v(24, 'X');
                      v[23] = 'Y';
                      return v;
                  }(),
                  false}),
    testing_support::CaseName());

}  // namespace
}  // namespace vardel
