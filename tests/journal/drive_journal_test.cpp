// The journal of changes on a real file system: where it lives, how its files are named, that an
// entry is whole in its file when BeforeWrite says go on, that the file keeps the newest entries
// only, and that an entry that cannot be kept (a folder that cannot be made or written, a file
// that is not a journal) refuses the write and touches nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
#include "journal/drive_journal.h"
#include "journal/journal_file.h"
#include "journal/journal_place.h"
#include "support/case_name.h"
#include "texts/whole_serial.h"

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

// A drive's place: the SCSI address it sits at.
PhysicalDevice At(std::uint8_t port) {
    PhysicalDevice device{};
    device.addressKnown = true;
    device.port = port;
    return device;
}

// A set that makes LUN 0 fixed; `mark` tells the entries apart.
int Save(DriveJournal& journal, const Identity& identity, std::uint8_t mark,
         const PhysicalDevice& place = At(4), char letter = 'F',
         const NamedChange* undoes = nullptr) {
    Blocks blocks;
    blocks.asRead[0] = mark;
    blocks.toWrite[0] = mark;
    blocks.toWrite[kTypeSlotAOffset] = 0xA1;
    return journal.BeforeWrite({undoes != nullptr ? CommandKind::Undo : CommandKind::SetLunMode,
                                letter, identity.block, blocks.asRead, blocks.toWrite, place,
                                undoes});
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
    // The place it was made at, which tells apart two drives that carry one serial.
    EXPECT_EQ(entry["device"], nlohmann::json({{"port", 4}, {"path", 0}, {"target", 0}}));
    EXPECT_TRUE(MadeAt(entries[0], At(4)));
    EXPECT_FALSE(MadeAt(entries[0], At(5)));
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

// One reader for the history, the undo and the writer: a text the history cannot read stops the
// change (and is left as it is), and a text it reads is extended, whatever its spacing.

std::string ValidJournal() {
    Folder scratch;
    DriveJournal journal(scratch.Path(), "", "test");
    Save(journal, Identity("VD0000000001"), 1);
    return Got(scratch / "VD0000000001.json");
}

struct TextCase {
    const char* name;
    std::string text;
    bool readable;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::vector<TextCase> TextCases() {
    const std::string valid = ValidJournal();
    // The first digit of the configuration block, made no digit.
    const std::size_t config = valid.find("\"configBlock\": [\"") + 16;
    std::string badDigit = valid;
    badDigit[config] = 'g';
    return {
        {"AsWritten", valid, true},
        {"Empty", "", true},
        {"SpacedOtherwise",
         Replaced(Replaced(valid, ", ", ",\n    "), "{\"format\": \"vardel-backup\"",
                  "{  \"format\" :\"vardel-backup\""),
         true},
        {"NoHexDigit", badDigit, false},
        {"BlockMissing", Replaced(valid, "\"writtenBlock\"", "\"writtenBlocks\""), false},
        {"DeviceNotAnAddress", Replaced(valid, "\"port\": 4", "\"port\": \"four\""), false},
        {"TextAfterTheEnd", valid + "]", false},
        {"CutShort", valid.substr(0, valid.size() / 2), false},
        {"AnotherFormat", Replaced(valid, "vardel-journal", "vardel-diary"), false},
    };
}

class OneReader : public testing::TestWithParam<TextCase> {};

TEST_P(OneReader, TheWriterExtendsExactlyWhatTheHistoryReads) {
    const TextCase& item = GetParam();
    Folder scratch;
    const std::string file = scratch / "VD0000000001.json";
    std::ofstream(file, std::ios::binary) << item.text;
    std::vector<JournalEntry> entries;
    std::string problem;
    EXPECT_EQ(ReadJournalFile(file, entries, problem), item.readable) << problem;
    const std::size_t before = entries.size();

    DriveJournal journal(scratch.Path(), "", "test");
    const int saved = Save(journal, Identity("VD0000000001"), 2);
    if (item.readable) {
        ASSERT_EQ(saved, kJournalSaved) << journal.Problem();
        ASSERT_TRUE(ReadJournalFile(file, entries, problem)) << problem;
        EXPECT_EQ(entries.size(), before + 1);
    } else {
        EXPECT_NE(saved, kJournalSaved);
        EXPECT_NE(journal.Problem().find("the journal " + file + " cannot be read: "),
                  std::string::npos)
            << journal.Problem();
        EXPECT_NE(journal.Problem().find("move the file aside"), std::string::npos);
        EXPECT_EQ(Got(file), item.text);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, OneReader, testing::ValuesIn(TextCases()),
                         testing_support::CaseName());

// Two drives that carry one serial share a file; each entry says where it was made, and an undo
// takes only the entries of its own drive.

TEST(DriveJournal, AnUndoTakesTheLastChangeMadeWhereTheDriveSits) {
    Folder scratch;
    DriveJournal journal(scratch.Path(), "", "test");
    const Identity serial("VD0000000001");
    ASSERT_EQ(Save(journal, serial, 1, At(4), 'E'), kJournalSaved);  // drive E
    ASSERT_EQ(Save(journal, serial, 2, At(6), 'G'), kJournalSaved);  // drive G, later

    JournalEntry change;
    std::string file;
    std::string problem;
    const auto onlyG = [] { return std::vector<PhysicalDevice>{At(6)}; };
    EXPECT_EQ(FindLastChange(scratch.Path(), serial.block, At(4), onlyG, change, file, problem),
              LastChangeResult::Found);
    EXPECT_EQ(change.asRead[0], 1);
    EXPECT_EQ(change.target, 'E');
    const auto onlyE = [] { return std::vector<PhysicalDevice>{At(4)}; };
    EXPECT_EQ(FindLastChange(scratch.Path(), serial.block, At(6), onlyE, change, file, problem),
              LastChangeResult::Found);
    EXPECT_EQ(change.asRead[0], 2);

    // Replugged, a drive sits at an address no entry names: the newest change made where no
    // attached drive sits is its own only if the user says so (Moved); G's, while G is there,
    // never.
    EXPECT_EQ(FindLastChange(scratch.Path(), serial.block, At(9), onlyG, change, file, problem),
              LastChangeResult::Moved);
    EXPECT_EQ(change.asRead[0], 1);
    const auto both = [] { return std::vector<PhysicalDevice>{At(4), At(6)}; };
    EXPECT_EQ(FindLastChange(scratch.Path(), serial.block, At(9), both, change, file, problem),
              LastChangeResult::None);
    EXPECT_EQ(FindLastChange(scratch.Path(), Identity("VD0000000002").block, At(4), both, change,
                             file, problem),
              LastChangeResult::None);
}

TEST(DriveJournal, RefusesAnUndoOfAChangeThatIsNoLongerTheDrivesLast) {
    Folder scratch;
    DriveJournal journal(scratch.Path(), "", "test");
    const Identity serial("VD0000000001");
    ASSERT_EQ(Save(journal, serial, 1, At(4), 'E'), kJournalSaved);
    std::vector<JournalEntry> entries;
    std::string problem;
    ASSERT_TRUE(ReadJournalFile(scratch / "VD0000000001.json", entries, problem));
    const JournalEntry shown = entries.back();
    EXPECT_EQ(shown.number, 1u);
    const NamedChange undoes{shown.time.c_str(), shown.number, &shown.written};

    // Another drive's change in between does not count; one of this drive does.
    ASSERT_EQ(Save(journal, serial, 2, At(6), 'G'), kJournalSaved);
    ASSERT_EQ(Save(journal, serial, 3, At(4), 'E', &undoes), kJournalSaved) << journal.Problem();
    EXPECT_EQ(Save(journal, serial, 4, At(4), 'E', &undoes), kJournalUndoneNotLast);
    ASSERT_TRUE(ReadJournalFile(scratch / "VD0000000001.json", entries, problem));
    EXPECT_EQ(entries.size(), 3u);

    // A change the journal does not hold (any more) is not undone either.
    const NamedChange unknown{shown.time.c_str(), 7, &shown.written};
    EXPECT_EQ(Save(journal, serial, 5, At(4), 'E', &unknown), kJournalUndoneNotLast);
}

// Runs on two drives that share a serial write one file at once: each entry stays.
TEST(DriveJournal, TwoRunsAtOnceLoseNoEntry) {
    Folder scratch;
    constexpr int kEntriesEach = 15;
    const Identity serial("VD0000000001");
    std::vector<pid_t> children;
    for (std::uint8_t run = 0; run < 2; ++run) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            DriveJournal journal(scratch.Path(), "", "test", 100);
            for (int i = 0; i < kEntriesEach; ++i) {
                if (Save(journal, serial, static_cast<std::uint8_t>(run * 100 + i),
                         At(static_cast<std::uint8_t>(4 + run))) != kJournalSaved) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<JournalEntry> entries;
    std::string problem;
    ASSERT_TRUE(ReadJournalFile(scratch / "VD0000000001.json", entries, problem)) << problem;
    EXPECT_EQ(entries.size(), 2u * kEntriesEach);
}

}  // namespace
}  // namespace vardel::frontend
