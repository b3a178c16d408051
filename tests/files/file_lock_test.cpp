// The lock a run that may change an emulated drive holds on its scenario file, from before the
// read to after the write-back: another run waits, then is busy; a save that replaces the file by
// a rename hands the lock on to the new file.

#include "files/file_lock.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "files/file_io.h"
#include "scenario/scenario.h"

namespace vardel::frontend {
namespace {

namespace fs = std::filesystem;

class LockScratch : public ::testing::Test {
  protected:
    LockScratch() {
        std::string pattern = (fs::temp_directory_path() / "vardel-file-lock-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
        file_ = folder_ + "/scenario.json";
        std::ofstream(file_) << "{\"drives\": []}\n";
    }
    ~LockScratch() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string folder_;
    std::string file_;
};

TEST_F(LockScratch, ASecondLockWaitsAndIsBusyUntilTheFirstIsGone) {
    std::string problem;
    auto first = std::make_unique<FileLock>();
    ASSERT_EQ(first->Take(file_, 0, problem), FileLockResult::Held) << problem;
    FileLock second;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(second.Take(file_, 100, problem), FileLockResult::Busy);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    first.reset();
    EXPECT_EQ(second.Take(file_, 0, problem), FileLockResult::Held) << problem;
}

TEST_F(LockScratch, AFileThatCannotBeOpenedIsNamedAsSuch) {
    std::string problem;
    FileLock lock;
    EXPECT_EQ(lock.Take(folder_ + "/missing.json", 0, problem), FileLockResult::Failed);
    EXPECT_NE(problem.find("cannot be opened"), std::string::npos) << problem;
}

// The holder saves (a new file renamed over the old one) and ends; the run that was waiting on
// the old file takes the new one, and holds it against a third.
TEST_F(LockScratch, AWaiterTakesTheFileThatReplacedTheOneItWaitedOn) {
    std::string problem;
    auto holder = std::make_unique<FileLock>();
    ASSERT_EQ(holder->Take(file_, 0, problem), FileLockResult::Held);
    FileLockResult waited = FileLockResult::Failed;
    FileLock waiter;
    std::thread waiting([&] {
        std::string waiterProblem;
        waited = waiter.Take(file_, 5000, waiterProblem);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(WriteFileAtomically(file_, "{\"drives\": []}\n\n", true, problem),
              FileWriteResult::Written)
        << problem;
    holder.reset();
    waiting.join();
    EXPECT_EQ(waited, FileLockResult::Held);
    FileLock third;
    EXPECT_EQ(third.Take(file_, 0, problem), FileLockResult::Busy);
}

// Only a run that may change the drives takes the lock; reading the file needs none.
TEST_F(LockScratch, AScenarioLoadedToChangeHoldsItsFileUntilItIsGone) {
    {
        const Scenario held = Scenario::LoadToChange(file_, 0);
        EXPECT_THROW(Scenario::LoadToChange(file_, 50), ScenarioBusy);
        EXPECT_NO_THROW(Scenario::Load(file_));
        const Scenario copy = held;  // a copy shares the lock
    }
    EXPECT_NO_THROW(Scenario::LoadToChange(file_, 0));
}

}  // namespace
}  // namespace vardel::frontend
