// The journal of changes on a real file system: where it lives, how its files are named, that an
// entry is whole in its file when BeforeWrite says go on, that the file keeps the newest entries
// only, and that an entry that cannot be kept (a folder that cannot be made or written, a file
// that is not a journal) refuses the write and touches nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "drive/vendor_blocks.h"
#include "frontend_common/drive_journal.h"
#include "frontend_common/journal_file.h"
#include "frontend_common/journal_place.h"
#include "frontend_common/whole_serial.h"
#include "support/case_name.h"

namespace vardel::frontend {
namespace {

namespace fs = std::filesystem;

class Folder {
  public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "vardel-journal-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

std::string Got(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// An identity block whose serial descriptor holds `characters`, two bytes each, low byte first.
struct Identity {
    explicit Identity(const std::vector<std::uint16_t>& characters) {
        if (characters.empty()) return;
        block[kSerialPresentOffset] = 1;
        block[kSerialDescriptorLengthOffset] = static_cast<std::uint8_t>(2 + 2 * characters.size());
        for (std::size_t i = 0; i < characters.size(); ++i) {
            block[kSerialCharactersOffset + 2 * i] = static_cast<std::uint8_t>(characters[i]);
            block[kSerialCharactersOffset + 2 * i + 1] =
                static_cast<std::uint8_t>(characters[i] >> 8);
        }
    }
    explicit Identity(const std::string& serial)
        : Identity(std::vector<std::uint16_t>(serial.begin(), serial.end())) {}
    alignas(kVendorBlockAlignment) VendorBlock block = {};
};

struct Blocks {
    alignas(kVendorBlockAlignment) VendorBlock asRead = {};
    alignas(kVendorBlockAlignment) VendorBlock toWrite = {};
};

// A set that makes LUN 0 fixed; `mark` tells the entries apart.
int Save(DriveJournal& journal, const Identity& identity, std::uint8_t mark) {
    Blocks blocks;
    blocks.asRead[0] = mark;
    blocks.toWrite[0] = mark;
    blocks.toWrite[kTypeSlotAOffset] = 0xA1;
    return journal.BeforeWrite(
        {CommandKind::SetLunMode, 'F', identity.block, blocks.asRead, blocks.toWrite});
}

// Where

struct PlaceCase {
    const char* name;
    StateFolderRule rule;
    std::map<std::string, std::string> environment;
    bool emulated;
    const char* folder;  // empty: no place, with a reason
};

const PlaceCase kPlaceCases[] = {
    {"XdgStateHome",
     StateFolderRule::Xdg,
     {{"XDG_STATE_HOME", "/s"}, {"HOME", "/h"}},
     false,
     "/s/vardel/journal"},
    {"XdgStateHomeWithSlash",
     StateFolderRule::Xdg,
     {{"XDG_STATE_HOME", "/s/"}},
     false,
     "/s/vardel/journal"},
    {"RelativeXdgStateHomeIsIgnored",
     StateFolderRule::Xdg,
     {{"XDG_STATE_HOME", "state"}, {"HOME", "/h"}},
     false,
     "/h/.local/state/vardel/journal"},
    {"EmptyXdgStateHomeIsIgnored",
     StateFolderRule::Xdg,
     {{"XDG_STATE_HOME", ""}, {"HOME", "/h"}},
     false,
     "/h/.local/state/vardel/journal"},
    {"EmulatedHasItsOwnFolder",
     StateFolderRule::Xdg,
     {{"HOME", "/h"}},
     true,
     "/h/.local/state/vardel/journal/emulated"},
    {"NoHome", StateFolderRule::Xdg, {{"HOME", ""}}, false, ""},
    {"RelativeHome", StateFolderRule::Xdg, {{"HOME", "h"}}, false, ""},
    {"LocalAppData",
     StateFolderRule::LocalAppData,
     {{"LOCALAPPDATA", "C:\\Users\\u\\AppData\\Local"}, {"XDG_STATE_HOME", "/s"}},
     true,
     "C:\\Users\\u\\AppData\\Local\\Vardel\\journal\\emulated"},
    {"UserProfile",
     StateFolderRule::LocalAppData,
     {{"USERPROFILE", "C:\\Users\\u"}},
     false,
     "C:\\Users\\u\\AppData\\Local\\Vardel\\journal"},
    {"NoProfile", StateFolderRule::LocalAppData, {}, false, ""},
    {"VardelJournalFirst",
     StateFolderRule::Xdg,
     {{"VARDEL_JOURNAL", "/j/"}, {"XDG_STATE_HOME", "/s"}},
     true,
     "/j/emulated"},
    {"VardelJournalOnWindows",
     StateFolderRule::LocalAppData,
     {{"VARDEL_JOURNAL", "Z:\\j"}, {"LOCALAPPDATA", "C:\\L"}},
     true,
     "Z:\\j\\emulated"},
    {"EmptyVardelJournalIsIgnored",
     StateFolderRule::Xdg,
     {{"VARDEL_JOURNAL", ""}, {"HOME", "/h"}},
     false,
     "/h/.local/state/vardel/journal"},
    {"ServiceStateDirectory",
     StateFolderRule::ServiceState,
     {{"STATE_DIRECTORY", "/var/lib/vardel:/var/lib/other"}, {"HOME", "/h"}},
     false,
     "/var/lib/vardel/journal"},
    {"ServiceWithoutStateDirectory",
     StateFolderRule::ServiceState,
     {{"STATE_DIRECTORY", "relative"}, {"XDG_STATE_HOME", "/s"}},
     false,
     "/var/lib/vardel/journal"},
};

class JournalPlace : public testing::TestWithParam<PlaceCase> {};

// The environment of the case running; the lookup is a plain function.
const std::map<std::string, std::string>* gEnvironment = nullptr;

const char* CaseEnvironment(const char* name) {
    const auto found = gEnvironment->find(name);
    return found != gEnvironment->end() ? found->second.c_str() : nullptr;
}

TEST_P(JournalPlace, FollowsTheSystemsRule) {
    const PlaceCase& place = GetParam();
    gEnvironment = &place.environment;
    std::string problem;
    const std::string folder =
        JournalFolderFor(place.rule, &CaseEnvironment, place.emulated, problem);
    EXPECT_EQ(folder, place.folder);
    EXPECT_EQ(problem.empty(), !folder.empty()) << problem;
}

INSTANTIATE_TEST_SUITE_P(Places, JournalPlace, testing::ValuesIn(kPlaceCases),
                         testing_support::CaseName());

// How the files are named

TEST(JournalFileName, IsTheWholeSerialWithOtherCharactersEscaped) {
    EXPECT_EQ(JournalFileName(Identity("VD0000000001").block), "VD0000000001.json");
    // Past the twelve characters of the key: drives that share them keep apart.
    EXPECT_EQ(JournalFileName(Identity("AA0000000001-0002").block), "AA0000000001-0002.json");
    EXPECT_EQ(JournalFileName(Identity("a/b..c").block), "a%2F00b%2E00%2E00c.json");
    EXPECT_EQ(JournalFileName(Identity(std::vector<std::uint16_t>{'x', 0x4E2D}).block),
              "x%2D4E.json");
    EXPECT_EQ(JournalFileName(Identity(std::string()).block), "@no-serial.json");
    // "%" and "@" are escaped themselves, so no serial takes another's name.
    EXPECT_EQ(JournalFileName(Identity("@no-serial").block), "%4000no-serial.json");
    EXPECT_EQ(JournalFileName(Identity("%4000").block), "%25004000.json");
}

// The descriptor takes up to 126 characters, five name characters each when escaped.
TEST(JournalFileName, OfALongSerialIsCutAndStaysApart) {
    const std::string common(100, '.');
    const std::string a = JournalFileName(Identity(common + "A").block);
    const std::string b = JournalFileName(Identity(common + "B").block);
    EXPECT_LE(a.size(), 130u);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.substr(0, 10), "%2E00%2E00");
}

// Writing

TEST(DriveJournal, SavesTheEntryWholeBeforeItSaysGoOn) {
    Folder scratch;
    // Folders that do not exist yet are made.
    const std::string folder = scratch / "state/vardel/journal";
    DriveJournal journal(folder, "", "vardelctl test");
    const Identity identity("VD0000000001");
    ASSERT_EQ(Save(journal, identity, 7), kJournalSaved) << journal.Problem();

    EXPECT_EQ(Names(folder), (std::set<std::string>{"VD0000000001.json"}));
    std::vector<JournalEntry> entries;
    std::string problem;
    ASSERT_TRUE(ReadJournalFile(folder + "/VD0000000001.json", entries, problem)) << problem;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].command, "set");
    EXPECT_EQ(entries[0].serial, "VD0000000001");
    EXPECT_EQ(entries[0].tool, "vardelctl test");
    EXPECT_EQ(entries[0].target, 'F');
    EXPECT_EQ(entries[0].time.size(), 20u);
    EXPECT_EQ(0, std::memcmp(entries[0].identity, identity.block, kVendorBlockSize));
    EXPECT_EQ(entries[0].asRead[0], 7);
    EXPECT_EQ(entries[0].asRead[kTypeSlotAOffset], 0);
    EXPECT_EQ(entries[0].written[kTypeSlotAOffset], 0xA1);

    // Each entry is laid out as a backup file, so that restore takes it.
    const auto document = nlohmann::json::parse(Got(folder + "/VD0000000001.json"));
    const auto& entry = document["entries"][0];
    EXPECT_EQ(entry["format"], "vardel-backup");
    EXPECT_EQ(entry["formatVersion"], 1);
    EXPECT_EQ(entry["identityBlock"].size(), 33u);
    EXPECT_EQ(entry["deviceKey"], "564430303030303030303031000000000000000000000000");
}

TEST(DriveJournal, KeepsTheNewestEntriesOfEachDrive) {
    Folder scratch;
    DriveJournal journal(scratch.Path(), "", "test", 3);
    const Identity first("VD0000000001");
    const Identity second("VD0000000002");
    for (std::uint8_t mark = 1; mark <= 5; ++mark) {
        ASSERT_EQ(Save(journal, first, mark), kJournalSaved) << journal.Problem();
    }
    ASSERT_EQ(Save(journal, second, 9), kJournalSaved);
    // No temporary left beside them.
    EXPECT_EQ(Names(scratch.Path()),
              (std::set<std::string>{"VD0000000001.json", "VD0000000002.json"}));

    std::vector<JournalEntry> entries;
    std::string problem;
    ASSERT_TRUE(ReadJournalFile(scratch / "VD0000000001.json", entries, problem)) << problem;
    std::vector<int> marks;
    for (const JournalEntry& entry : entries) marks.push_back(entry.asRead[0]);
    EXPECT_EQ(marks, (std::vector<int>{3, 4, 5}));
    ASSERT_TRUE(ReadJournalFile(scratch / "VD0000000002.json", entries, problem)) << problem;
    EXPECT_EQ(entries.size(), 1u);
}

// Each refusal names the reason and leaves everything as it was.
TEST(DriveJournal, RefusesAFileThatIsNotAJournal) {
    Folder scratch;
    const std::string file = scratch / "VD0000000001.json";
    std::ofstream(file) << "{\"mine\": true}\n";
    DriveJournal journal(scratch.Path(), "", "test");
    EXPECT_NE(Save(journal, Identity("VD0000000001"), 1), kJournalSaved);
    EXPECT_NE(journal.Problem().find(file), std::string::npos) << journal.Problem();
    EXPECT_EQ(Got(file), "{\"mine\": true}\n");
    EXPECT_EQ(Names(scratch.Path()), (std::set<std::string>{"VD0000000001.json"}));
}

TEST(DriveJournal, RefusesWhereTheFolderCannotBeMade) {
    Folder scratch;
    std::ofstream(scratch / "state") << "a file where a folder should be";
    DriveJournal journal(scratch / "state/vardel/journal", "", "test");
    EXPECT_NE(Save(journal, Identity("VD0000000001"), 1), kJournalSaved);
    EXPECT_NE(journal.Problem().find("is not a folder"), std::string::npos) << journal.Problem();
}

TEST(DriveJournal, RefusesInAReadOnlyFolder) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    Folder scratch;
    ASSERT_EQ(chmod(scratch.Path().c_str(), 0500), 0);
    DriveJournal journal(scratch.Path(), "", "test");
    EXPECT_NE(Save(journal, Identity("VD0000000001"), 1), kJournalSaved);
    EXPECT_NE(journal.Problem().find("Permission denied"), std::string::npos) << journal.Problem();
    EXPECT_TRUE(Names(scratch.Path()).empty());
}

TEST(DriveJournal, WithoutAFolderRefusesEveryWrite) {
    DriveJournal journal("", "neither XDG_STATE_HOME nor HOME is set", "test");
    EXPECT_NE(Save(journal, Identity("VD0000000001"), 1), kJournalSaved);
    EXPECT_EQ(journal.Problem(), "neither XDG_STATE_HOME nor HOME is set");
}

}  // namespace
}  // namespace vardel::frontend
