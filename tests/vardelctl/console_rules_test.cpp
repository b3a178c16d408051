// The console's own rules: which texts `write` takes for a row, how drive texts reach a terminal,
// and that a listing of drives whose texts are not UTF-8 still reports one JSON object.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "machine/device_name.h"
#include "texts/display_text.h"
#include "texts/no_drive_text.h"
#include "texts/sense_text.h"
#include "vardelctl/command_line_parser.h"
#include "vardelctl/every_drive.h"
#include "vardelctl/options.h"
#include "vardelctl/report.h"
#include "vardelctl/row_text_argument.h"
#include "vardelctl/suggestion.h"

namespace vardel::cli {
using frontend::DescribeAnswer;
using frontend::DeviceName;
using frontend::DeviceNameKind;
using frontend::DiskDescriber;
using frontend::DisplayText;
using frontend::LetterOfNode;
using frontend::ParseDeviceName;
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

ParseResult Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "vardelctl");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    Options options;
    return ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
}

// --version and --help alone are answered without a parse, from a parser that holds only what
// they show; an option more takes the parser's own way. Both must show the same text.
TEST(ParseOptionsTest, VersionAndHelpAloneShowWhatTheParserShows) {
    const std::vector<std::vector<std::string>> asked = {
        {"--version"},         {"--help"},           {"-h"},
        {"status", "--help"},  {"set", "--help"},    {"write", "-h"},
        {"list", "--help"},    {"backup", "--help"}, {"restore", "--help"},
        {"history", "--help"}, {"undo", "--help"}};
    for (const std::vector<std::string>& words : asked) {
        const ParseResult alone = Parse(words);
        std::vector<std::string> parsed = words;
        parsed.insert(parsed.begin(), "--no-journal");
        const ParseResult full = Parse(parsed);
        const std::string what = words.front() + " " + words.back();
        EXPECT_NE(alone.end, ParseEnd::Go) << what;
        EXPECT_EQ(alone.end, full.end) << what;
        EXPECT_EQ(alone.text, full.text) << what;
        EXPECT_FALSE(alone.text.empty()) << what;
    }
}

// set takes the LUN and the type as users write them; the short options are their long ones.
TEST(ParseOptionsTest, SetTakesTheWordsUsersWrite) {
    struct Case {
        std::vector<std::string> words;
        LunRow row;
        std::uint8_t type;
        bool dryRun;
    };
    const Case cases[] = {
        {{"set", "lun0", "fixed"}, LunRow::Lun0, kLunTypeFixedDisk, false},
        {{"set", "0", "fixed"}, LunRow::Lun0, kLunTypeFixedDisk, false},
        {{"set", "1", "removable"}, LunRow::Lun1, kLunTypeRemovable, false},
        {{"set", "lun", "1", "fixed"}, LunRow::Lun1, kLunTypeFixedDisk, false},
        {{"set", "LUN", "0", "Removable"}, LunRow::Lun0, kLunTypeRemovable, false},
        {{"set", "LUN1", "Fixed"}, LunRow::Lun1, kLunTypeFixedDisk, false},
        {{"set", "lun1", "fixed disk"}, LunRow::Lun1, kLunTypeFixedDisk, false},
        {{"set", "Lun 1", " Fixed  Disk "}, LunRow::Lun1, kLunTypeFixedDisk, false},
        {{"-d", "E", "set", "lun", "1", "fixed", "-n"}, LunRow::Lun1, kLunTypeFixedDisk, true},
        {{"set", "--device", "E", "lun", "0", "FIXED DISK", "--dry-run"},
         LunRow::Lun0,
         kLunTypeFixedDisk,
         true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> words = c.words;
        words.insert(words.begin(), "vardelctl");
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        Options options;
        const ParseResult result =
            ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
        const std::string what = words[1] + " " + words[2] + " " + words[3];
        ASSERT_EQ(result.end, ParseEnd::Go) << what << ": " << result.text;
        EXPECT_EQ(options.verb, Verb::Set) << what;
        EXPECT_EQ(options.row, c.row) << what;
        EXPECT_EQ(options.type, c.type) << what;
        EXPECT_EQ(options.dryRun, c.dryRun) << what;
    }
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"set", "lun", "2", "fixed"},
          {"set", "2", "fixed"},
          {"set", "lun0", "fixeddisk"},
          {"set", "lun0", "fixed", "disk"}}) {
        EXPECT_EQ(Parse(refused).end, ParseEnd::Usage) << refused[2];
    }
}

// The common usage errors are found before the parser runs, which would throw; they must say what
// the parser says.
TEST(ParseOptionsTest, UsageErrorsFoundEarlySayWhatTheParserSays) {
    const std::vector<std::vector<std::string>> lines = {{"set"},
                                                         {"set", "lun0"},
                                                         {"set", "lun0", "fixed", "x"},
                                                         {"set", "lun2", "fixed"},
                                                         {"set", "lun0", "fixd"},
                                                         {"backup"},
                                                         {"restore", "-d", "E"},
                                                         {"status", "a", "b"},
                                                         {"list", "x", "-j"},
                                                         {"backup", "a", "b", "c"}};
    for (const std::vector<std::string>& words : lines) {
        const std::string what = words.front() + " " + words.back();
        const ParseResult early = Parse(words);
        ASSERT_EQ(early.end, ParseEnd::Usage) << what;
        Options options;
        CommandLineParser parser(options, words.front());
        std::string said;
        try {
            parser.app.parse(std::vector<std::string>(words.rbegin(), words.rend()));
        } catch (const CLI::ParseError& error) {
            said = error.what();
        }
        EXPECT_EQ(early.text, said) << what;
    }
}

TEST(ParseOptionsTest, ShortOptionsAreSpeltOutAsTheLongOnes) {
    using Words = std::vector<std::string>;
    const std::pair<Words, Words> cases[] = {
        {{"-j", "status"}, {"--json", "status"}},
        {{"-d", "E", "status"}, {"--device", "E", "status"}},
        {{"-dE", "status"}, {"--device=E", "status"}},
        {{"set", "lun0", "fixed", "-nj"}, {"set", "lun0", "fixed", "--dry-run", "--json"}},
        // -d ends a bundle: the rest of the word is its value, else the next word is.
        {{"-jd", "E", "status"}, {"--json", "--device", "E", "status"}},
        {{"-jdE", "status"}, {"--json", "--device=E", "status"}},
        // Not theirs: -h, other letters, a lone "-", and anything after "--".
        {{"-h", "-x", "-", "backup", "--", "-n"}, {"-h", "-x", "-", "backup", "--", "-n"}},
    };
    for (const auto& [typed, spelt] : cases) {
        Words words = typed;
        SpellOutShortOptions(words);
        EXPECT_EQ(words, spelt) << typed.front();
    }
}

// The options the parser takes before the command are the ones the line is checked against.
TEST(ParseOptionsTest, TheGlobalOptionsAreTheParsersOwn) {
    Options options;
    CommandLineParser parser(options, "", CommandParts::Summary);
    std::vector<std::string> parsers;
    for (const CLI::Option* option : parser.app.get_options()) {
        for (const std::string& name : option->get_lnames()) parsers.push_back("--" + name);
    }
    std::vector<std::string> listed(std::begin(kGlobalOptionNames), std::end(kGlobalOptionNames));
    std::sort(parsers.begin(), parsers.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(parsers, listed);
}

// After "No drive found": the counts, what to do, the rights where they matter, and never the
// advice to run as root to root.
TEST(NoDriveGuidanceTest, SaysWhatWasLookedAtAndWhatToDo) {
    struct Case {
        const char* name;
        frontend::NoDriveFacts facts;
        std::vector<std::string> says;
        std::vector<std::string> saysNot;
    };
    const auto facts = [](ScanRecord scan, int noRights, bool root, bool linux,
                          bool service = false) {
        frontend::NoDriveFacts made;
        made.scan = scan;
        made.noRightsDisks = noRights;
        made.runsAsRoot = root;
        made.linuxMachine = linux;
        made.throughService = service;
        return made;
    };
    const Case cases[] = {
        {"emulated, one disk",
         facts({true, 1, 1, 0, 0, 0, {}}, 0, false, false),
         {"Looked at 1 disk: 1 answered INQUIRY, none carries the drive's signature.\n",
          "`vardelctl list`"},
         {"udev", "sudo"}},
        {"Linux, no rights, a user directly",
         facts({true, 3, 1, 0, 0, 0, {}}, 2, false, true),
         {"Looked at 3 disks: 1 answered INQUIRY, none carries the drive's signature; 2 disks "
          "could not be opened for lack of rights.",
          "/usr/lib/udev/rules.d/70-vardel.rules", "group vardel", "ls -l /dev/sg*",
          "leave out --direct", "sudo vardelctl"},
         {"user at the seat", "drive service could not"}},
        {"Linux, no rights, through the service",
         facts({true, 3, 1, 0, 0, 0, {}}, 2, false, true, true),
         {"The drive service could not open them: install the rule and replug the drive, or run "
          "it as root: sudo vardelctl ..."},
         {"--direct"}},
        {"Linux, no rights, root",
         facts({true, 3, 1, 0, 0, 0, {}}, 2, true, true),
         {"group vardel"},
         {"sudo", "root", "--direct"}},
        {"Linux, rights enough",
         facts({true, 2, 2, 0, 0, 0, {}}, 0, false, true),
         {"70-vardel.rules"},
         {"sudo"}},
        {"no disk",
         facts({true, 0, 0, 0, 0, 0, {}}, 0, false, false),
         {"No disk was there"},
         {"Looked at"}},
        {"signature, no drive",
         facts({true, 2, 2, 1, 0, 0, {}}, 0, false, false),
         {"1 carries the signature but none answered as the drive looked for"},
         {"none carries"}},
    };
    for (const Case& c : cases) {
        const std::string text = frontend::NoDriveGuidance(c.facts);
        for (const std::string& said : c.says) {
            EXPECT_NE(text.find(said), std::string::npos) << c.name << ": " << said << "\n" << text;
        }
        for (const std::string& notSaid : c.saysNot) {
            EXPECT_EQ(text.find(notSaid), std::string::npos) << c.name << ": " << notSaid;
        }
        EXPECT_NE(text.back(), '\n') << c.name;
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
            EXPECT_EQ(report["devices"][0]["volumes"][0]["vendor"],
                      "\xEF\xBF\xBD\xEF\xBF\xBD\x1b[31mX");
        } else {
            EXPECT_NE(out.str().find("\\xFF\\xFE\\x1B[31mX"), std::string::npos) << out.str();
        }
    }
}

TEST(SuggestionTest, NamesTheOneWordASlipWasMeantToBe) {
    const std::vector<std::string> commands = {"status", "set",    "write",
                                               "list",   "backup", "restore"};
    struct Case {
        const char* typed;
        const char* meant;  // "" for no suggestion
    } const cases[] = {
        {"stauts", "status"},  // two letters swapped
        {"STATUS", "status"},  // case does not count
        {"bakup", "backup"},   // one left out
        {"writte", "write"},   // one added
        {"lsit", "list"},
        {"stat", "status"},  // cut short: beats "set", as far away
        {"frobnicate", ""},  // too far from every word
        {"st", "set"},       // edits first: one from "set", four from "status"
        {"x", ""},           // any one-letter word is one edit from another
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClosestWord(c.typed, commands), c.meant) << c.typed;
    }
    EXPECT_EQ(ClosestWord("lun2", {"lun0", "lun1"}), "");  // one edit from both
    EXPECT_EQ(ClosestWord("--jsn", {"--json", "--device", "--emulate"}), "--json");
}

TEST(SenseTextTest, NamesStatusKeyAndCodeInEitherFormat) {
    const std::uint8_t fixed[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x24, 0x00};
    const std::uint8_t descriptor[8] = {0x72, 0x02, 0x3A, 0x01, 0, 0, 0, 0};
    const std::uint8_t unknownCode[14] = {0xF0, 0, 0x04, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0x5D, 0x10};
    const std::uint8_t keyOnly[3] = {0x70, 0, 0x0B};
    const std::uint8_t none[18] = {};
    struct Case {
        const char* name;
        int status;
        const std::uint8_t* sense;
        std::size_t length;
        const char* text;
    } const cases[] = {
        {"fixed", 2, fixed, sizeof(fixed),
         "CHECK CONDITION (status 0x02), sense ILLEGAL REQUEST / INVALID FIELD IN CDB (key 0x5, "
         "ASC 0x24, ASCQ 0x00)"},
        {"descriptor", 2, descriptor, sizeof(descriptor),
         "CHECK CONDITION (status 0x02), sense NOT READY / MEDIUM NOT PRESENT (key 0x2, ASC "
         "0x3A, ASCQ 0x01)"},
        // 0xF0 is fixed format, current, with the VALID bit; 0x5D is not in the table.
        {"unknown code", 2, unknownCode, sizeof(unknownCode),
         "CHECK CONDITION (status 0x02), sense HARDWARE ERROR (key 0x4, ASC 0x5D, ASCQ 0x10)"},
        {"too short for a code", 2, keyOnly, sizeof(keyOnly),
         "CHECK CONDITION (status 0x02), sense ABORTED COMMAND (key 0xB)"},
        {"zeros", 2, none, sizeof(none), "CHECK CONDITION (status 0x02), no sense data"},
        {"busy", 8, nullptr, 0, "BUSY (status 0x08), no sense data"},
        {"unknown status", 0x7E, nullptr, 0, "status (status 0x7E), no sense data"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeAnswer(c.status, c.sense, c.length), c.text) << c.name;
    }
    // The data's own length, never past what arrived.
    EXPECT_EQ(SenseDataLength(fixed, sizeof(fixed)), 18u);
    EXPECT_EQ(SenseDataLength(fixed, 12), 12u);
    EXPECT_EQ(SenseDataLength(none, sizeof(none)), sizeof(none));
}

TEST(DeviceNameTest, TellsLettersNodesAndSerialsApart) {
    struct Case {
        const char* text;
        DeviceNameKind kind;
        char letter;
    } const cases[] = {
        {"E", DeviceNameKind::Letter, 'E'},    {"e:", DeviceNameKind::Letter, 'E'},
        {"/dev/sdb", DeviceNameKind::Node, 0}, {"VD0000000001", DeviceNameKind::Serial, 0},
        {"E1", DeviceNameKind::Serial, 0},     {"1", DeviceNameKind::Serial, 0},
    };
    for (const Case& c : cases) {
        DeviceName name;
        ASSERT_TRUE(ParseDeviceName(c.text, name)) << c.text;
        EXPECT_EQ(name.kind, c.kind) << c.text;
        EXPECT_EQ(name.letter, c.letter) << c.text;
    }
    DeviceName name;
    EXPECT_FALSE(ParseDeviceName("caf\xc3\xa9", name));
}

// Device nodes and the links to them are Linux's; Windows names drives by letter only.
#ifndef _WIN32
TEST(DeviceNameTest, FindsTheLetterOfANodeOrOfALinkToIt) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "vardelctl-device-name-test";
    fs::remove_all(folder);
    fs::create_directories(folder / "by-id");
    const std::string nodes = fs::canonical(folder).string();
    for (const char* node : {"sdb", "sg1", "sdc"}) std::ofstream(folder / node).put('\n');
    fs::create_symlink(folder / "sdb", folder / "by-id" / "usb-VARDEL_0001");
    // What the system says of each letter's disk: B is sdb with sg1.
    const DiskDescriber describe = [&nodes](char letter, frontend::DiskDescription& disk) {
        if (letter != 'B') return false;
        disk.paths = {nodes + "/sdb", nodes + "/sg1"};
        return true;
    };

    EXPECT_EQ(LetterOfNode(nodes + "/sdb", describe), 'B');
    EXPECT_EQ(LetterOfNode(nodes + "/sg1", describe), 'B');
    EXPECT_EQ(LetterOfNode((folder / "by-id" / "usb-VARDEL_0001").string(), describe), 'B');
    EXPECT_EQ(LetterOfNode(nodes + "/sdc", describe), 0);
    EXPECT_EQ(LetterOfNode(nodes + "/sdb", nullptr), 0);
    fs::remove_all(folder);
}
#endif

TEST(EveryDriveTest, NamesEachBackupFileAFileSystemTakes) {
    struct Case {
        const char* serial;  // the key's first twelve characters
        const char* file;
    } const cases[] = {
        {"VD0000000001", "VD0000000001.json"},
        {"AB-12_x.y", "AB-12_x.y.json"},
        {"", "no-serial.json"},
        {"A/B", "key-412F42000000000000000000000000000000000000000000.json"},
        {"..", "key-2E2E00000000000000000000000000000000000000000000.json"},
    };
    for (const Case& c : cases) {
        DeviceKey key{};
        std::memcpy(key.bytes, c.serial, std::strlen(c.serial));
        EXPECT_EQ(BackupFileNameFor(key), c.file) << c.serial;
    }
}

// Drives whose names would clash get names of their own; the others keep theirs.
TEST(EveryDriveTest, GivesDrivesThatShareANameFilesOfTheirOwn) {
    struct Drive {
        const char* serial;  // nullptr: none
        char letter;
    };
    struct Case {
        const char* name;
        std::vector<Drive> drives;
        std::vector<std::string> files;
    } const cases[] = {
        {"UniqueSerials",
         {{"VD0000000001", 'E'}, {"VD0000000002", 'G'}},
         {"VD0000000001.json", "VD0000000002.json"}},
        {"OneSerial",
         {{"VD0000000001", 'E'}, {"VD0000000001", 'G'}, {"VD0000000002", 'I'}},
         {"VD0000000001-E.json", "VD0000000001-G.json", "VD0000000002.json"}},
        {"CaseOnly",
         {{"vd0000000001", 'E'}, {"VD0000000001", 'G'}},
         {"vd0000000001-E.json", "VD0000000001-G.json"}},
        {"TwelveCharactersAlike",
         {{"AA0000000001-0001", 'E'}, {"AA0000000001-0002", 'G'}},
         {"AA0000000001-0001.json", "AA0000000001-0002.json"}},
        {"LongSerialsTwice",
         {{"AA0000000001-0001", 'E'}, {"AA0000000001-0001", 'G'}, {"AA0000000001-0002", 'I'}},
         {"AA0000000001-0001-E.json", "AA0000000001-0001-G.json", "AA0000000001-0002.json"}},
        {"NoSerials", {{nullptr, 'E'}, {nullptr, 'G'}}, {"no-serial-E.json", "no-serial-G.json"}},
        // A whole serial that is another drive's name: the letter decides.
        {"SerialLikeAName",
         {{"AA0000000001", 'E'}, {"AA0000000001-E", 'G'}, {"AA0000000001", 'I'}},
         {"AA0000000001-E-2.json", "AA0000000001-E.json", "AA0000000001-I.json"}},
    };
    for (const Case& c : cases) {
        DeviceListing listing{};
        for (const Drive& drive : c.drives) {
            ListedDevice& device = listing.devices[listing.recorded++];
            if (drive.serial != nullptr) {
                const std::size_t length = std::strlen(drive.serial);
                device.identity[16] = 1;
                device.identity[96] = static_cast<std::uint8_t>(2 + 2 * length);
                for (std::size_t i = 0; i < length; ++i) {
                    device.identity[98 + 2 * i] = static_cast<std::uint8_t>(drive.serial[i]);
                    if (i < 12) device.key.bytes[i] = static_cast<std::uint8_t>(drive.serial[i]);
                }
            }
            device.lunSlots[0] = drive.letter;
        }
        listing.count = listing.recorded;
        EXPECT_EQ(BackupFileNames(listing), c.files) << c.name;
    }
}

}  // namespace
}  // namespace vardel::cli
