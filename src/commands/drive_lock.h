#pragma once
// One change at a time per drive: a command that may write takes the lock of its drive before its
// first block read and gives it back after its last read (the write's read-back), so that two
// programs never interleave their read-change-write on one drive. Every process picks the same
// target letter for a drive (discovery's LUN ordering), so the lock is taken through that letter.

#include <cstdint>

#include "commands/command_outcome.h"
#include "platform/platform.h"

namespace vardel {

// How long a command waits for another program to let go of the drive before it gives up as
// Busy. A change takes well under a second; the wait covers a slow drive or a loaded machine.
constexpr std::uint32_t kDriveLockWaitMilliseconds = 5000;

// Holds the drive behind `letter` for as long as it lives (or until Release).
class DriveHold {
  public:
    DriveHold(Platform& platform, char letter);
    ~DriveHold();
    DriveHold(const DriveHold&) = delete;
    DriveHold& operator=(const DriveHold&) = delete;

    bool Held() const { return result_ == DriveLockResult::Held; }
    // Gives the lock back; the caller tells the user only after this, so that no message box
    // keeps another program waiting.
    void Release();
    // Ends `outcome` for a lock that was not taken: Busy, or a failure of the lock as the
    // system gave it (ReadFailed with the LockDrive detail). Nothing was read or written.
    CommandOutcome NotHeld(CommandOutcome outcome) const;

  private:
    Platform& platform_;
    char letter_;
    DriveLockResult result_;
    std::uint32_t error_ = 0;
};

}  // namespace vardel
