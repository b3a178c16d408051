// The file lock's steps where the path changes under them, which no real run can time:
// file_lock.cpp runs here on a stand-in for its system layer (file_lock_system.h) that keeps the
// files in memory and lets a test replace or remove the file between the open and the lock. The
// lock must end on the file the path names, as flock would hold it, and no file may stay open but
// the one held.

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "files/file_lock.h"
#include "files/file_lock_system.h"
#include "support/case_name.h"

namespace vardel::frontend {
namespace lock_system {
namespace {

// The stand-in's state; one test at a time uses it. A file is a number, as an inode is.
struct Files {
    std::map<std::string, int> named;  // path -> file
    std::map<LockFile, int> open;      // descriptor -> file
    std::map<int, LockFile> lockedBy;  // file -> the descriptor whose lock holds it
    int nextFile = 1;
    LockFile nextDescriptor = 3;
    int lockError = 0;  // TryLock fails so, when not 0
    std::function<void()> betweenOpenAndLock;
};
Files files;

}  // namespace

int OpenToLock(const std::string& path, LockFile& file) {
    const auto named = files.named.find(path);
    if (named == files.named.end()) return ENOENT;
    file = files.nextDescriptor++;
    files.open[file] = named->second;
    if (files.betweenOpenAndLock) {
        const std::function<void()> event = files.betweenOpenAndLock;
        files.betweenOpenAndLock = nullptr;
        event();
    }
    return 0;
}

int TryLock(LockFile file, bool& taken) {
    taken = false;
    if (files.lockError != 0) return files.lockError;
    const int held = files.open.at(file);
    const auto holder = files.lockedBy.find(held);
    if (holder != files.lockedBy.end() && holder->second != file) return 0;
    files.lockedBy[held] = file;
    taken = true;
    return 0;
}

bool StillNamed(LockFile file, const std::string& path) {
    const auto named = files.named.find(path);
    return named != files.named.end() && named->second == files.open.at(file);
}

void CloseFile(LockFile file) {
    const auto holder = files.lockedBy.find(files.open.at(file));
    if (holder != files.lockedBy.end() && holder->second == file) files.lockedBy.erase(holder);
    files.open.erase(file);
}

std::string ErrorText(int error) {
    return error == ENOENT ? "gone" : "error " + std::to_string(error);
}

}  // namespace lock_system

namespace {

using lock_system::files;

constexpr char kPath[] = "d/drive.json";

// A save as the emulated drive's writer makes it: a new file renamed over the old one.
void Replace() {
    files.named[kPath] = files.nextFile++;
}

// What another program does between this run's open and its lock.
enum class Meanwhile { Replaces, Removes, HoldsIt, LockFails };

struct StepCase {
    const char* name;
    Meanwhile meanwhile;
    FileLockResult result;
    const char* problem;
};

void PrintTo(const StepCase& step, std::ostream* out) {
    *out << step.name;
}

const StepCase kStepCases[] = {
    // The lock taken on the file the rename took away keeps no one out of the new one.
    {"ReplacedBetweenOpenAndLock", Meanwhile::Replaces, FileLockResult::Held, ""},
    {"RemovedBetweenOpenAndLock", Meanwhile::Removes, FileLockResult::Failed,
     "cannot be opened (gone)"},
    {"HeldByAnotherThroughTheWait", Meanwhile::HoldsIt, FileLockResult::Busy, ""},
    {"LockRefusedBySystem", Meanwhile::LockFails, FileLockResult::Failed,
     "cannot be locked (error 5)"},
};

class FileLockSteps : public testing::TestWithParam<StepCase> {};

TEST_P(FileLockSteps, HoldsTheFileThePathNamesAndClosesEveryOther) {
    const StepCase& step = GetParam();
    files = lock_system::Files{};
    Replace();
    const int first = files.named[kPath];
    lock_system::LockFile other = lock_system::kNoFile;
    switch (step.meanwhile) {
        case Meanwhile::Replaces:
            files.betweenOpenAndLock = Replace;
            break;
        case Meanwhile::Removes:
            files.betweenOpenAndLock = [] { files.named.erase(kPath); };
            break;
        case Meanwhile::HoldsIt:
            other = files.nextDescriptor++;
            files.open[other] = first;
            files.lockedBy[first] = other;
            break;
        case Meanwhile::LockFails:
            files.lockError = EIO;
            break;
    }
    std::string problem;
    {
        FileLock lock;
        EXPECT_EQ(lock.Take(kPath, 40, problem), step.result);
        EXPECT_EQ(problem, step.problem);
        if (step.result == FileLockResult::Held) {
            // One file open, locked, and the one the path names now.
            ASSERT_EQ(files.open.size(), 1u);
            const auto& [descriptor, held] = *files.open.begin();
            EXPECT_EQ(held, files.named[kPath]);
            EXPECT_EQ(files.lockedBy, (std::map<int, lock_system::LockFile>{{held, descriptor}}));
            // A second run is kept out.
            FileLock second;
            EXPECT_EQ(second.Take(kPath, 0, problem), FileLockResult::Busy);
        }
    }
    if (other != lock_system::kNoFile) files.open.erase(other);
    EXPECT_TRUE(files.open.empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, FileLockSteps, testing::ValuesIn(kStepCases),
                         testing_support::CaseName());

}  // namespace
}  // namespace vardel::frontend
