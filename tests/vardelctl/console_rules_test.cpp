// The console's own rules: which texts `write` takes for a row, how drive texts reach a terminal,
// and that a listing of drives whose texts are not UTF-8 still reports one JSON object.

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "vardelctl/display_text.h"
#include "vardelctl/report.h"
#include "vardelctl/row_text_argument.h"

namespace vardel::cli {
namespace {

TEST(RowTextArgumentTest, TakesTheWordsTheTextsAndWholeBytesOnly) {
    struct Case {
        const char* argument;
        bool accepted;
        const char* rowText;     // when accepted
        const char* suggestion;  // when refused: the text after "did you mean", or "" for none
    } const cases[] = {
        {"fixed", true, "Fixed Disk", ""},
        {"FIXED", true, "Fixed Disk", ""},
        {"Removable", true, "Removable", ""},
        {"rEmOvAbLe", true, "Removable", ""},
        {"Fixed Disk", true, "Fixed Disk", ""},
        {" Fixed Disk  ", true, "Fixed Disk", ""},
        {"", true, "", ""},
        {"   ", true, "", ""},
        {"A1", true, "A1", ""},
        {"0x05", true, "0x05", ""},
        {"Fixed disk", false, "", "Fixed Disk"},
        {"fixd", false, "", "fixed"},
        {"Removeable", false, "", "Removable"},
        {"0xg", false, "", ""},
        {"1A1", false, "", ""},
        {"-1", false, "", ""},
        {"1fz", false, "", ""},
        {"sideways", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string rowText = "unchanged";
        std::string problem;
        const bool accepted = RowTextFromArgument(c.argument, rowText, problem);
        EXPECT_EQ(accepted, c.accepted) << c.argument << ": " << problem;
        if (c.accepted) {
            EXPECT_EQ(rowText, c.rowText) << c.argument;
            continue;
        }
        const std::string hint = std::string("did you mean \"") + c.suggestion + "\"?";
        EXPECT_EQ(problem.find(hint) != std::string::npos, c.suggestion[0] != 0)
            << c.argument << ": " << problem;
    }
}

TEST(DisplayTextTest, ShowsEveryByteThatIsNotPrintableAsItsValue) {
    EXPECT_EQ(DisplayText("VARDEL  "), "VARDEL  ");
    EXPECT_EQ(DisplayText("\x1b[31mred"), "\\x1B[31mred");
    EXPECT_EQ(DisplayText(std::string("a\0b\x7f\xff\\", 6)), "a\\x00b\\x7F\\xFF\\\\");
}

TEST(ReportTest, AListingWithTextsThatAreNotUtf8IsStillOneJsonObject) {
    DeviceListing listing{};
    listing.count = 1;
    listing.recorded = 1;
    ListedDevice& device = listing.devices[0];
    std::memcpy(device.key.bytes, "VD0000000001", 12);
    device.lunSlots[0] = 'E';
    device.target = 'E';
    device.inquiryRead[0] = true;
    std::memcpy(device.inquiry[0] + 8, "\xff\xfe\x1b[31mX", 8);
    DiskDescriptions disks(1, std::vector<DiskDescription>(kLunSlotsPerDevice));
    disks[0][0].paths = {"/dev/sd\xe9"};

    Options options;
    options.verb = Verb::List;
    for (const bool json : {true, false}) {
        options.json = json;
        std::ostringstream out;
        std::ostringstream err;
        ReportListing(options, OutcomeCode::Done, listing, disks, RunNotes{}, out, err);
        EXPECT_EQ(err.str(), "");
        EXPECT_EQ(out.str().find('\x1b'), std::string::npos) << out.str();
        if (json) {
            const auto report = nlohmann::json::parse(out.str());
            EXPECT_EQ(report["devices"][0]["volumes"][0]["vendor"], "\xEF\xBF\xBD\xEF\xBF\xBD\x1b[31mX");
        } else {
            EXPECT_NE(out.str().find("\\xFF\\xFE\\x1B[31mX"), std::string::npos) << out.str();
        }
    }
}

}  // namespace
}  // namespace vardel::cli
