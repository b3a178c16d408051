// Whole-file reads and atomic replacement on a real POSIX file system: links, modes, names left by
// others, a full disk, and two writers at once.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <system_error>
#include <thread>

#include "files/file_io.h"
#include "support/case_name.h"

namespace vardel::frontend {
namespace {

namespace fs = std::filesystem;

constexpr char kOld[] = "old contents\n";
constexpr char kNew[] = "new contents\n";

// A folder of its own for each test, removed afterwards.
class Scratch {
  public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "vardel-file-io-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Scratch() {
        if (path_.empty()) return;
        // A test may leave its folder read-only.
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

    // Every name in the folder.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

  private:
    std::string path_;
};

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Got(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsLink(const std::string& path) {
    return fs::is_symlink(fs::symlink_status(path));
}

unsigned ModeOf(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0xFFFFu;
}

FileWriteResult Write(const std::string& path, const std::string& contents, bool replace,
                      std::string& problem) {
    return WriteFileAtomically(path, contents, replace, problem);
}

// What one case lays out before the write of kNew to FILE, and what must hold after it.
struct EdgeCase {
    const char* name;
    void (*prepare)(const Scratch&);
    bool replaceExisting;
    FileWriteResult expected;
    void (*check)(const Scratch&);
    // The names in the folder afterwards: no temporary may be left behind.
    std::set<std::string> names;
};

void PrintTo(const EdgeCase& edge, std::ostream* out) {
    *out << edge.name;
}

const EdgeCase kEdgeCases[] = {
    {"NewFile",
     [](const Scratch&) {},
     true,
     FileWriteResult::Written,
     [](const Scratch& s) { EXPECT_EQ(Got(s / "FILE"), kNew); },
     {"FILE"}},
    {"ReplacesTheOldFile",
     [](const Scratch& s) { Put(s / "FILE", kOld); },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) { EXPECT_EQ(Got(s / "FILE"), kNew); },
     {"FILE"}},
    // A link waiting at the name a fixed temporary would have had is neither followed nor moved.
    {"LinkAtFileDotTmpIsLeftAlone",
     [](const Scratch& s) {
         Put(s / "FILE", kOld);
         Put(s / "victim", "victim");
         fs::create_symlink(s / "victim", s / "FILE.tmp");
     },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_EQ(Got(s / "FILE"), kNew);
         EXPECT_FALSE(IsLink(s / "FILE"));
         EXPECT_TRUE(IsLink(s / "FILE.tmp"));
         EXPECT_EQ(Got(s / "victim"), "victim");
     },
     {"FILE", "FILE.tmp", "victim"}},
    {"ForeignFileDotTmpIsLeftAlone",
     [](const Scratch& s) {
         Put(s / "FILE", kOld);
         Put(s / "FILE.tmp", "another program's");
     },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_EQ(Got(s / "FILE"), kNew);
         EXPECT_EQ(Got(s / "FILE.tmp"), "another program's");
     },
     {"FILE", "FILE.tmp"}},
    // The link stays and the file it names gets the bytes, through two links, one relative.
    {"LinkedFileKeepsItsLinks",
     [](const Scratch& s) {
         fs::create_directory(s / "real");
         Put(s / "real/data", kOld);
         fs::create_symlink(s / "real/data", s / "middle");
         fs::create_symlink("middle", s / "FILE");
     },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_TRUE(IsLink(s / "FILE"));
         EXPECT_TRUE(IsLink(s / "middle"));
         EXPECT_EQ(Got(s / "real/data"), kNew);
         EXPECT_EQ(fs::directory_iterator(s / "real")->path().filename(), "data");
     },
     {"FILE", "middle", "real"}},
    {"LinkToAFileNotYetThereMakesIt",
     [](const Scratch& s) { fs::create_symlink("made", s / "FILE"); },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_TRUE(IsLink(s / "FILE"));
         EXPECT_EQ(Got(s / "made"), kNew);
     },
     {"FILE", "made"}},
    {"PrivateModeIsKept",
     [](const Scratch& s) {
         Put(s / "FILE", kOld);
         chmod((s / "FILE").c_str(), 0600);
     },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_EQ(Got(s / "FILE"), kNew);
         EXPECT_EQ(ModeOf(s / "FILE"), 0600u);
     },
     {"FILE"}},
    {"ReadOnlyModeIsKept",
     [](const Scratch& s) {
         Put(s / "FILE", kOld);
         chmod((s / "FILE").c_str(), 0444);
     },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_EQ(Got(s / "FILE"), kNew);
         EXPECT_EQ(ModeOf(s / "FILE"), 0444u);
     },
     {"FILE"}},
    // The file is replaced, not rewritten: another name for the old file keeps the old bytes.
    {"HardLinkKeepsTheOldBytes",
     [](const Scratch& s) {
         Put(s / "FILE", kOld);
         fs::create_hard_link(s / "FILE", s / "other");
     },
     true,
     FileWriteResult::Written,
     [](const Scratch& s) {
         EXPECT_EQ(Got(s / "FILE"), kNew);
         EXPECT_EQ(Got(s / "other"), kOld);
     },
     {"FILE", "other"}},
    {"ExistingFileIsNotReplacedUnlessAsked",
     [](const Scratch& s) { Put(s / "FILE", kOld); },
     false,
     FileWriteResult::Exists,
     [](const Scratch& s) { EXPECT_EQ(Got(s / "FILE"), kOld); },
     {"FILE"}},
    {"LinkToAnExistingFileIsNotReplacedUnlessAsked",
     [](const Scratch& s) {
         Put(s / "real", kOld);
         fs::create_symlink("real", s / "FILE");
     },
     false,
     FileWriteResult::Exists,
     [](const Scratch& s) {
         EXPECT_TRUE(IsLink(s / "FILE"));
         EXPECT_EQ(Got(s / "real"), kOld);
     },
     {"FILE", "real"}},
    {"NewFileWithoutReplacing",
     [](const Scratch&) {},
     false,
     FileWriteResult::Written,
     [](const Scratch& s) { EXPECT_EQ(Got(s / "FILE"), kNew); },
     {"FILE"}},
    {"FolderAtTheName",
     [](const Scratch& s) { fs::create_directory(s / "FILE"); },
     true,
     FileWriteResult::Failed,
     [](const Scratch& s) { EXPECT_TRUE(fs::is_empty(s / "FILE")); },
     {"FILE"}},
    // A pipe (or a device) would be swapped for a plain file.
    {"PipeAtTheName",
     [](const Scratch& s) { mkfifo((s / "FILE").c_str(), 0600); },
     true,
     FileWriteResult::Failed,
     [](const Scratch& s) { EXPECT_TRUE(fs::is_fifo(fs::symlink_status(s / "FILE"))); },
     {"FILE"}},
};

class FileWriteEdges : public testing::TestWithParam<EdgeCase> {};

TEST_P(FileWriteEdges, LeavesOnlyWhatItShould) {
    const EdgeCase& edge = GetParam();
    Scratch scratch;
    ASSERT_FALSE(scratch.Path().empty());
    edge.prepare(scratch);
    std::string problem;
    EXPECT_EQ(Write(scratch / "FILE", kNew, edge.replaceExisting, problem), edge.expected)
        << problem;
    EXPECT_EQ(problem.empty(), edge.expected != FileWriteResult::Failed) << problem;
    edge.check(scratch);
    EXPECT_EQ(scratch.Names(), edge.names);
}

INSTANTIATE_TEST_SUITE_P(Edges, FileWriteEdges, testing::ValuesIn(kEdgeCases),
                         testing_support::CaseName());

TEST(FileWrite, NewFileGetsTheUsualModeLessTheUmask) {
    Scratch scratch;
    const mode_t before = umask(027);
    std::string problem;
    const FileWriteResult result = Write(scratch / "FILE", kNew, true, problem);
    umask(before);
    ASSERT_EQ(result, FileWriteResult::Written) << problem;
    EXPECT_EQ(ModeOf(scratch / "FILE"), 0640u);
}

// Obstacles that bind root as well: the old file stays exactly as it was, nothing is left beside
// it, and the problem carries the system's reason.
TEST(FileWrite, PathThroughAPlainFileFails) {
    Scratch scratch;
    Put(scratch / "plain", kOld);
    std::string problem;
    EXPECT_EQ(Write(scratch / "plain/FILE", kNew, true, problem), FileWriteResult::Failed);
    EXPECT_NE(problem.find(std::generic_category().message(ENOTDIR)), std::string::npos) << problem;
    EXPECT_EQ(Got(scratch / "plain"), kOld);
}

// Sets a small file size limit for the process while it lives; the signal the system sends at the
// limit is ignored, so that the write fails with EFBIG as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        signalBefore_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        signal(SIGXFSZ, signalBefore_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Set() const { return set_; }

  private:
    rlimit before_{};
    void (*signalBefore_)(int) = SIG_DFL;
    bool set_ = false;
};

TEST(FileWrite, FullDiskFailsAndKeepsTheOldFile) {
    Scratch scratch;
    Put(scratch / "FILE", kOld);
    const std::string large(64 * 1024, 'x');
    std::string problem;
    FileWriteResult result;
    {
        const FileSizeLimit limit(1000);
        ASSERT_TRUE(limit.Set());
        result = Write(scratch / "FILE", large, true, problem);
    }
    EXPECT_EQ(result, FileWriteResult::Failed);
    EXPECT_NE(problem.find(std::generic_category().message(EFBIG)), std::string::npos) << problem;
    EXPECT_EQ(Got(scratch / "FILE"), kOld);
    EXPECT_EQ(scratch.Names(), std::set<std::string>{"FILE"});
}

// Permissions do not bind root, who would pass this vacuously.
TEST(FileWrite, ReadOnlyFolderFailsAndKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    Scratch scratch;
    Put(scratch / "FILE", kOld);
    ASSERT_EQ(chmod(scratch.Path().c_str(), 0555), 0);
    std::string problem;
    EXPECT_EQ(Write(scratch / "FILE", kNew, true, problem), FileWriteResult::Failed);
    EXPECT_NE(problem.find(std::generic_category().message(EACCES)), std::string::npos) << problem;
    chmod(scratch.Path().c_str(), 0755);
    EXPECT_EQ(Got(scratch / "FILE"), kOld);
    EXPECT_EQ(scratch.Names(), std::set<std::string>{"FILE"});
}

// Two writers replace the file over and over while it is read: every read is one whole version.
TEST(FileWrite, TwoWritersAtOnceLeaveOneWholeVersion) {
    Scratch scratch;
    const std::string file = scratch / "FILE";
    const std::string versions[] = {std::string(200 * 1024, 'a') + "end a\n",
                                    std::string(300 * 1024, 'b') + "end b\n"};
    Put(file, versions[0]);
    constexpr int kRounds = 60;
    std::atomic<int> failures{0};
    std::atomic<int> writing{2};
    auto writer = [&](const std::string& version) {
        for (int round = 0; round < kRounds; ++round) {
            std::string problem;
            if (Write(file, version, true, problem) != FileWriteResult::Written) ++failures;
        }
        --writing;
    };
    std::thread first(writer, versions[0]);
    std::thread second(writer, versions[1]);
    int reads = 0;
    int torn = 0;
    while (writing > 0 || reads == 0) {
        std::string contents;
        std::string problem;
        ASSERT_TRUE(ReadWholeFile(file, contents, problem)) << problem;
        if (contents != versions[0] && contents != versions[1]) ++torn;
        ++reads;
    }
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(scratch.Names(), std::set<std::string>{"FILE"});
}

// Without replacing, of two writers making the same new file at once exactly one succeeds, and the
// file is wholly that one's: the check for an existing file is part of the rename.
TEST(FileWrite, OfTwoWritersOfANewFileOneWins) {
    Scratch scratch;
    const std::string file = scratch / "FILE";
    const std::string versions[] = {"first\n", "second\n"};
    for (int round = 0; round < 50; ++round) {
        std::error_code ignored;
        fs::remove(file, ignored);
        FileWriteResult results[2] = {};
        std::string problems[2];
        std::atomic<int> ready{0};
        auto writer = [&](int i) {
            ++ready;
            while (ready < 2) {
            }
            results[i] = Write(file, versions[i], false, problems[i]);
        };
        std::thread second(writer, 1);
        writer(0);
        second.join();
        const int winner = results[0] == FileWriteResult::Written ? 0 : 1;
        ASSERT_EQ(results[winner], FileWriteResult::Written) << problems[winner];
        ASSERT_EQ(results[1 - winner], FileWriteResult::Exists) << problems[1 - winner];
        ASSERT_EQ(Got(file), versions[winner]);
    }
    EXPECT_EQ(scratch.Names(), std::set<std::string>{"FILE"});
}

// Root replacing a user's file leaves it theirs, owner and group.
TEST(FileWrite, ReplacementKeepsTheOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    Scratch scratch;
    Put(scratch / "FILE", kOld);
    constexpr uid_t kUser = 65534;
    constexpr gid_t kGroup = 65534;
    ASSERT_EQ(chown((scratch / "FILE").c_str(), kUser, kGroup), 0);
    std::string problem;
    ASSERT_EQ(Write(scratch / "FILE", kNew, true, problem), FileWriteResult::Written) << problem;
    struct stat status {};
    ASSERT_EQ(stat((scratch / "FILE").c_str(), &status), 0);
    EXPECT_EQ(Got(scratch / "FILE"), kNew);
    EXPECT_EQ(status.st_uid, kUser);
    EXPECT_EQ(status.st_gid, kGroup);
}

// A signal that ends the process while the temporary is being written. The moment is the write
// past a file size limit: its SIGXFSZ handler sends the signal of the case.
struct InterruptCase {
    const char* name;
    int signal;
    bool ignored;  // the process ignores the signal: the write goes on, and fails at the limit
};

void PrintTo(const InterruptCase& interrupt, std::ostream* out) {
    *out << interrupt.name;
}

constexpr int kChildWriteFailed = 3;
constexpr int kChildSignalWaited = 4;

int signalToSend = 0;
bool signalIgnored = false;

// A signal that is neither ignored nor held back ends the process before kill returns.
extern "C" void SendTheSignal(int) {
    kill(getpid(), signalToSend);
    if (!signalIgnored) _exit(kChildSignalWaited);
}

class InterruptedWrites : public testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptedWrites, LeaveNoTemporaryAndTheOldFile) {
    const InterruptCase& interrupt = GetParam();
    Scratch scratch;
    Put(scratch / "FILE", kOld);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        signalToSend = interrupt.signal;
        signalIgnored = interrupt.ignored;
        signal(SIGXFSZ, SendTheSignal);
        if (interrupt.ignored) signal(interrupt.signal, SIG_IGN);
        const rlimit limit{1000, 1000};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(1);
        std::string problem;
        const FileWriteResult result =
            WriteFileAtomically(scratch / "FILE", std::string(64 * 1024, 'x'), true, problem);
        _exit(result == FileWriteResult::Failed ? kChildWriteFailed : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (interrupt.ignored) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kChildWriteFailed) << status;
    } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == interrupt.signal) << status;
    }
    EXPECT_EQ(Got(scratch / "FILE"), kOld);
    EXPECT_EQ(scratch.Names(), std::set<std::string>{"FILE"});
}

const InterruptCase kInterruptCases[] = {
    {"Terminate", SIGTERM, false},
    {"Interrupt", SIGINT, false},
    {"IgnoredInterrupt", SIGINT, true},
};

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedWrites, testing::ValuesIn(kInterruptCases),
                         testing_support::CaseName());

struct ReadCase {
    const char* name;
    void (*prepare)(const Scratch&);
    bool read;
    const char* problem;  // a part of it
};

void PrintTo(const ReadCase& read, std::ostream* out) {
    *out << read.name;
}

const ReadCase kReadCases[] = {
    {"Folder", [](const Scratch& s) { fs::create_directory(s / "FILE"); }, false, "is a folder"},
    {"Missing", [](const Scratch&) {}, false, "cannot be opened (No such file or directory)"},
    {"ThroughAPlainFile",
     [](const Scratch& s) {
         Put(s / "plain", "");
         fs::create_symlink("plain/inner", s / "FILE");
     },
     false, "cannot be opened (Not a directory)"},
    {"Empty", [](const Scratch& s) { Put(s / "FILE", ""); }, true, ""},
    {"LargerThanAnyOfOurFiles",
     [](const Scratch& s) {
         Put(s / "FILE", "");
         fs::resize_file(s / "FILE", kLargestReadableFile + 1);
     },
     false, "is larger than"},
};

class WholeFileReads : public testing::TestWithParam<ReadCase> {};

TEST_P(WholeFileReads, SayWhyTheyFail) {
    const ReadCase& read = GetParam();
    Scratch scratch;
    read.prepare(scratch);
    std::string contents = "left over";
    std::string problem;
    EXPECT_EQ(ReadWholeFile(scratch / "FILE", contents, problem), read.read) << problem;
    EXPECT_NE(problem.find(read.problem), std::string::npos) << problem;
    if (read.read) {
        EXPECT_EQ(contents, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Reads, WholeFileReads, testing::ValuesIn(kReadCases),
                         testing_support::CaseName());

TEST(WholeFileRead, KeepsEveryByte) {
    Scratch scratch;
    std::string bytes;
    for (int i = 0; i < 200 * 1024; ++i) bytes += static_cast<char>(i * 7);
    Put(scratch / "FILE", bytes);
    std::string contents;
    std::string problem;
    ASSERT_TRUE(ReadWholeFile(scratch / "FILE", contents, problem)) << problem;
    EXPECT_EQ(contents, bytes);
}

}  // namespace
}  // namespace vardel::frontend
