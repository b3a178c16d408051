// LUN type texts and the row layout rule.

#include "drive/lun_type.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "drive/vendor_blocks.h"

namespace vardel {
namespace {

TEST(LunType, OnlyA1IsFixed) {
    EXPECT_STREQ(LunTypeText(0xA1), "Fixed Disk");
    for (int type : {0x00, 0x01, 0x0F, 0xA0, 0xA2, 0xFF}) {
        EXPECT_STREQ(LunTypeText(static_cast<std::uint8_t>(type)), "Removable") << type;
    }
}

struct LayoutCase {
    std::uint8_t marker;    // identity block byte 382
    std::uint8_t selector;  // configuration block byte 172
    bool swapped;
};

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, SwappedOnlyWithMarkerAndSelectorTogether) {
    VendorBlock identity;
    VendorBlock info;
    std::memset(identity, 0x23, sizeof(identity));
    std::memset(info, 3, sizeof(info));
    identity[kLayoutMarkerOffset] = GetParam().marker;
    info[kLayoutSelectorOffset] = GetParam().selector;
    const bool swapped = IsSwappedLayout(identity, info);
    EXPECT_EQ(swapped, GetParam().swapped);
    EXPECT_EQ(TypeByteOffset(LunRow::Lun0, swapped), GetParam().swapped ? 305u : 304u);
    EXPECT_EQ(TypeByteOffset(LunRow::Lun1, swapped), GetParam().swapped ? 304u : 305u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutTest,
                         ::testing::Values(LayoutCase{0x23, 3, true}, LayoutCase{0x24, 3, false},
                                           LayoutCase{0x23, 2, false}, LayoutCase{0x00, 0, false},
                                           LayoutCase{0x23, 0x83, false}));

TEST(LunIndex, IsIdentityByte385) {
    VendorBlock identity = {};
    identity[385] = 7;
    EXPECT_EQ(LunIndexOf(identity), 7);
}

}  // namespace
}  // namespace vardel
