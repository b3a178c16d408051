// The real Windows backend, run under Wine: what the system answers for a volume that is not
// there.

#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "device/scsi_commands.h"
#include "drive/candidate_drive.h"
#include "drive/discovery.h"
#include "platform/platform_constants.h"

namespace vardel {
namespace {

// Forwards to the real backend and counts the pass-through calls.
class CountingPlatform : public Win32Platform {
  public:
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        ++controlCalls;
        return Win32Platform::Control(handle, controlCode, in, inSize, out, outSize, bytesReturned);
    }
    int controlCalls = 0;
};

char AbsentLetter(Platform& platform) {
    const std::uint32_t mask = platform.LogicalDriveMask();
    for (char letter = 'D'; letter <= 'Y'; ++letter) {
        if ((mask & (1u << (letter - 'A'))) == 0) return letter;
    }
    return 0;
}

TEST(Win32Platform, ALetterWithNoVolumeReturnsTheSystemsErrorWithoutAControlCall) {
    CountingPlatform platform;
    const char letter = AbsentLetter(platform);
    ASSERT_NE(letter, 0) << "every letter is taken on this machine";

    alignas(kVendorBlockAlignment) VendorBlock block;
    const DriveStatus status = VendorRead(platform, letter, nullptr, block);
    EXPECT_GT(status, 0);
    EXPECT_EQ(platform.controlCalls, 0);

    InquiryData inquiry;
    EXPECT_EQ(ScsiInquiry(platform, letter, inquiry), status);
    EXPECT_EQ(platform.controlCalls, 0);
}

TEST(Win32Platform, LetterMaskIncludesTheSystemDrive) {
    Win32Platform platform;
    EXPECT_NE(platform.LogicalDriveMask() & (1u << ('C' - 'A')), 0u);
}

TEST(Win32Platform, MountedDevicesListTheSystemDriveAndNotAnAbsentLetter) {
    Win32Platform platform;
    RegistryKey key = 0;
    ASSERT_EQ(platform.OpenRegistryKey(kHkeyLocalMachine, "System\\MountedDevices", kKeyRead, &key),
              0);
    std::uint8_t data[1024];
    std::uint32_t size = sizeof(data);
    EXPECT_EQ(platform.QueryRegistryValue(key, "\\DosDevices\\C:", data, &size), 0);
    EXPECT_GT(size, 0u);

    const std::string absent = std::string("\\DosDevices\\") + AbsentLetter(platform) + ":";
    size = sizeof(data);
    EXPECT_EQ(platform.QueryRegistryValue(key, absent.c_str(), data, &size),
              static_cast<std::int32_t>(kErrorFileNotFound));
    EXPECT_EQ(platform.CloseRegistryKey(key), 0);
}

TEST(Win32Platform, TheSystemDriveIsNoCandidate) {
    Win32Platform platform;
    EXPECT_NE(IsCandidateDrive(platform, 'C'), 0);
    EXPECT_EQ(IsCandidateDrive(platform, AbsentLetter(platform)),
              static_cast<std::int32_t>(kErrorFileNotFound));
}

TEST(Win32Platform, VersionGateReadsTheSystemsVersion) {
    Win32Platform platform;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const DWORD version = GetVersion();
#pragma GCC diagnostic pop
    EXPECT_EQ(platform.VersionNumber(), version);
    const bool refused = ((version >> 8) & 0xFF) > 2;

    char list[kLetterListSize] = {};
    std::uint8_t count = 0xEE;
    EXPECT_EQ(FindDrives(platform, list, sizeof(list), count),
              refused ? kFindDrivesVersionRefused : kFindDrivesOk);
    EXPECT_EQ(count, 0);  // no drive of the served kind on this machine
}

// The drive's lock is a named mutex: another holder (a thread stands for another process, as a
// mutex belongs to its thread) keeps it Busy for the whole wait; one that ended without letting
// go left it abandoned, and it is taken over.
TEST(Win32DriveLock, AnotherHolderIsBusyAndAnAbandonedLockIsTaken) {
    Win32Platform platform;
    const char letter = AbsentLetter(platform);
    ASSERT_NE(letter, 0);
    Win32Platform abandoning;
    std::thread([&] {
        EXPECT_EQ(abandoning.LockDrive(letter, 0), DriveLockResult::Held);
    }).join();  // the thread ends without UnlockDrive
    EXPECT_EQ(platform.LockDrive(letter, 0), DriveLockResult::Held);
    EXPECT_EQ(platform.LockDrive(letter, 0), DriveLockResult::Busy);  // held here already
    EXPECT_TRUE(platform.UnlockDrive(letter));
    EXPECT_FALSE(platform.UnlockDrive(letter));

    std::atomic<bool> held{false};
    std::atomic<bool> letGo{false};
    std::thread holder([&] {
        Win32Platform other;
        EXPECT_EQ(other.LockDrive(letter, 0), DriveLockResult::Held);
        held = true;
        while (!letGo) Sleep(5);
        EXPECT_TRUE(other.UnlockDrive(letter));
    });
    while (!held) Sleep(5);
    EXPECT_EQ(platform.LockDrive(letter, 50), DriveLockResult::Busy);
    letGo = true;
    holder.join();
    EXPECT_EQ(platform.LockDrive(letter, 1000), DriveLockResult::Held);
}

}  // namespace
}  // namespace vardel
