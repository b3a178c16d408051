// Discovery on the emulated machine: which letters are candidates, how they group into devices,
// and what the scan sends to the drives.

#include "drive/discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/candidate_drive.h"
#include "platform/emulated/emulated_platform.h"
#include "platform/platform_constants.h"
#include "support/case_name.h"

namespace vardel {
namespace {

using emulated::CallRecord;
using emulated::Drive;
using emulated::EmulatedPlatform;
using emulated::Fault;
using emulated::FaultEffect;
using emulated::Operation;

Drive DriveWithSerial(const char* serial) {
    Drive drive = emulated::StandardDrive();
    emulated::SetSerial(drive, serial);
    return drive;
}

class DiscoveryTest : public ::testing::Test {
  protected:
    DiscoveryTest() {
        platform_.AddOtherVolume('C');  // the system disk
    }

    int FindInto(std::size_t size = kLetterListSize) {
        list_.assign(kLetterListSize, 0);
        return FindDrives(platform_, list_.data(), size, count_);
    }

    // The list up to its last letter, zero bytes as '.', and the two closing zeros.
    std::string Groups() const {
        std::size_t end = 0;
        for (std::size_t i = 0; i < list_.size(); ++i) {
            if (list_[i] != 0) end = i + 1;
        }
        std::string groups;
        for (std::size_t i = 0; i < end; ++i) groups += list_[i] == 0 ? '.' : list_[i];
        return groups + "..";
    }

    std::size_t Count(CallRecord::Kind kind) const {
        std::size_t n = 0;
        for (const CallRecord& call : platform_.Log()) n += call.kind == kind ? 1 : 0;
        return n;
    }

    EmulatedPlatform platform_;
    std::vector<char> list_;
    std::uint8_t count_ = 0xEE;
};

TEST_F(DiscoveryTest, NoCandidatesGivesCountZeroAndASingleZeroByte) {
    std::vector<char> list(kLetterListSize, 0x7F);
    EXPECT_EQ(FindDrives(platform_, list.data(), list.size(), count_), kFindDrivesOk);
    EXPECT_EQ(count_, 0);
    EXPECT_EQ(list[0], 0);
    EXPECT_EQ(list[1], 0x7F);
}

TEST_F(DiscoveryTest, OneDeviceOverTwoLettersTargetsTheLun1Letter) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);

    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(Groups(), "EF..");

    OrderByLun(platform_, list_.data());
    EXPECT_EQ(list_[0], 'E');
    EXPECT_EQ(list_[1], 'F');
    EXPECT_EQ(std::string(&list_[2], 6), std::string(6, '\0'));
    EXPECT_EQ(SelectTargetLetter(list_.data()), 'F');
}

TEST_F(DiscoveryTest, DiscoverySendsOnlyInquiriesThenIdentityReadsAndAddressQuestions) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('F', drive, 1);
    platform_.AttachVolume('E', drive, 0);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    OrderByLun(platform_, list_.data());

    // All 26 letters are filtered before any identity block is read; no configuration block is
    // read and nothing is written.
    EXPECT_EQ(platform_.CommandTrace(),
              (std::vector<std::string>{"INQUIRY C", "INQUIRY E", "INQUIRY F", "READ ID E",
                                        "ADDRESS E", "READ ID F", "ADDRESS F", "READ ID E",
                                        "READ ID F"}));
    // The mounted-devices key is opened and closed once per existing letter.
    EXPECT_EQ(Count(CallRecord::Kind::RegistryOpen), 3u);
    EXPECT_EQ(Count(CallRecord::Kind::RegistryClose), 3u);
}

TEST_F(DiscoveryTest, ALetterOnlyInLunSlot1StartsTheListWithZero) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('F', drive, 1);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(std::string(list_.data(), 4), std::string("\0F\0\0", 4));
}

// The counts a front end tells "No drive found" from: every letter present, those whose INQUIRY
// answered, and of them those with the signature. C: answers without it; G: cannot be opened.
TEST_F(DiscoveryTest, TheScanRecordCountsWhatWasLookedAt) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);
    platform_.AddOtherVolume('G');
    Fault refused;
    refused.letter = 'G';
    refused.operation = Operation::Open;
    refused.times = -1;
    refused.effect = FaultEffect::FailOpen;
    refused.code = 5;
    platform_.InjectFault(refused);

    ScanRecord record = {};
    list_.assign(kLetterListSize, 0);
    ASSERT_EQ(FindDrives(platform_, list_.data(), list_.size(), count_, nullptr, &record),
              kFindDrivesOk);
    EXPECT_TRUE(record.done);
    EXPECT_EQ(record.letters, 4);
    EXPECT_EQ(record.answeredInquiry, 3);
    EXPECT_EQ(record.withSignature, 2);
    EXPECT_EQ(count_, 1);
}

struct VersionCase {
    std::uint32_t version;
    int result;
};

class VersionGateTest : public DiscoveryTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionGateTest, RefusesMinorVersionsFromThreeOnWithoutTouchingAnyDrive) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.SetVersionNumber(GetParam().version);

    EXPECT_EQ(FindInto(), GetParam().result);
    if (GetParam().result == kFindDrivesVersionRefused) {
        EXPECT_EQ(count_, 0);
        EXPECT_EQ(Count(CallRecord::Kind::Open), 0u);
        EXPECT_EQ(Count(CallRecord::Kind::RegistryOpen), 0u);
    } else {
        EXPECT_EQ(count_, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionGateTest,
                         ::testing::Values(VersionCase{0x0A280105, 0},    // 5.1
                                           VersionCase{0x1DB10106, 0},    // 6.1
                                           VersionCase{0x23F00206, 0},    // 6.2
                                           VersionCase{0x25800306, 1},    // 6.3
                                           VersionCase{0x4A61000A, 0},    // 10.0
                                           VersionCase{0x0000FF05, 1}));  // minor 255

TEST_F(DiscoveryTest, VolumesThatCannotBeOpenedAreNoCandidates) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);
    Fault noRights;
    noRights.operation = Operation::Open;
    noRights.times = -1;
    noRights.effect = FaultEffect::FailOpen;
    noRights.code = kErrorAccessDenied;
    platform_.InjectFault(noRights);

    EXPECT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 0);
    EXPECT_EQ(IsCandidateDrive(platform_, 'E'), static_cast<std::int32_t>(kErrorAccessDenied));
}

TEST_F(DiscoveryTest, MountedEntryDecidesBeforeAnyInquiry) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);
    platform_.AttachVolume('G', drive, 1);
    platform_.SetMountedEntry('E', emulated::MountedEntry::Absent);
    platform_.SetMountedEntry('F', emulated::MountedEntry::TooLong);

    EXPECT_EQ(IsCandidateDrive(platform_, 'E'), static_cast<std::int32_t>(kErrorFileNotFound));
    EXPECT_EQ(IsCandidateDrive(platform_, 'F'), static_cast<std::int32_t>(kErrorMoreData));
    EXPECT_EQ(IsCandidateDrive(platform_, 'G'), 0);
    EXPECT_EQ(platform_.CommandTrace(), std::vector<std::string>{"INQUIRY G"});
}

// An INQUIRY that fails gives its own code, and discovery leaves the letter out: with E gone, the
// drive's only letter is F in LUN slot 1. CHECK CONDITION (status 2) gives -2 like a missing
// signature, so the other failures are what tell a failed INQUIRY from a drive of another kind.
struct InquiryFaultCase {
    const char* name;
    FaultEffect effect;
    std::uint32_t code;
    std::int32_t result;
};

class FailedInquiryTest : public DiscoveryTest,
                          public ::testing::WithParamInterface<InquiryFaultCase> {};

TEST_P(FailedInquiryTest, LeavesTheLetterOut) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);
    Fault inquiry;
    inquiry.letter = 'E';
    inquiry.operation =
        GetParam().effect == FaultEffect::FailOpen ? Operation::Open : Operation::Inquiry;
    inquiry.effect = GetParam().effect;
    inquiry.code = GetParam().code;
    inquiry.times = 2;  // the check of the letter alone, then the one inside FindDrives
    platform_.InjectFault(inquiry);

    EXPECT_EQ(IsCandidateDrive(platform_, 'E'), GetParam().result);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(std::string(list_.data(), 4), std::string("\0F\0\0", 4));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedInquiryTest,
    ::testing::Values(
        InquiryFaultCase{"OpenFails", FaultEffect::FailOpen, kErrorNotReady, kErrorNotReady},
        InquiryFaultCase{"ControlFails", FaultEffect::FailControl, kErrorIoDevice, kErrorIoDevice},
        InquiryFaultCase{"Busy", FaultEffect::ScsiStatus, 0x08, -0x08},
        InquiryFaultCase{"CheckCondition", FaultEffect::ScsiStatus, 0x02, -2}),
    testing_support::CaseName());

TEST_F(DiscoveryTest, FailedIdentityReadLeavesTheLetterOut) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);
    Fault identity;
    identity.letter = 'F';
    identity.operation = Operation::ReadIdentity;
    identity.effect = FaultEffect::FailControl;
    identity.code = kErrorIoDevice;
    platform_.InjectFault(identity);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(Groups(), "E..");
}

// A disk that may be a drive of the kind but did not answer is kept, with why, so that no
// command takes the drive found for the only one. Drive 1 answers as E and F; drive 2 (G, H)
// fails as each case says.
TEST_F(DiscoveryTest, ADiskOfTheKindThatDidNotAnswerIsKept) {
    auto faultOn = [](char letter, Operation operation, FaultEffect effect, std::uint32_t code,
                      int skip) {
        Fault fault;
        fault.letter = letter;
        fault.operation = operation;
        fault.effect = effect;
        fault.code = code;
        fault.skip = skip;
        fault.times = -1;
        return fault;
    };
    const MayHoldDriveTest anyDisk = [](char, DriveStatus) { return true; };
    const MayHoldDriveTest notH = [](char letter, DriveStatus) { return letter != 'H'; };
    const std::uint32_t kG = 1u << ('G' - 'A');
    const std::uint32_t kH = 1u << ('H' - 'A');
    const std::uint32_t kF = 1u << ('F' - 'A');
    struct Case {
        const char* name;
        std::vector<char> letters;  // where the fault strikes
        Operation operation;
        FaultEffect effect;
        std::uint32_t code;
        int skip;
        MayHoldDriveTest mayHold;
        std::uint32_t unanswered;
        std::uint32_t withSignature;
        DriveStatus status;  // of the first letter kept
    } const cases[] = {
        {"identity read CHECK CONDITION", {'G', 'H'}, Operation::ReadIdentity,
         FaultEffect::ScsiStatus, 2, 0, nullptr, kG | kH, kG | kH, -2},
        {"identity read I/O error", {'G', 'H'}, Operation::ReadIdentity, FaultEffect::FailControl,
         kErrorIoDevice, 0, nullptr, kG | kH, kG | kH, static_cast<DriveStatus>(kErrorIoDevice)},
        // The INQUIRY opens; the identity read's open is refused, as while another program
        // holds the volume.
        {"open busy after the INQUIRY", {'G', 'H'}, Operation::Open, FaultEffect::FailOpen,
         kErrorSharingViolation, 1, nullptr, kG | kH, kG | kH,
         static_cast<DriveStatus>(kErrorSharingViolation)},
        // Nothing showed the signature: only the machine can say the disk may be one.
        {"INQUIRY fails, the machine says nothing", {'G', 'H'}, Operation::Inquiry,
         FaultEffect::FailControl, kErrorIoDevice, 0, nullptr, 0, 0, 0},
        {"INQUIRY fails where the machine says a drive may be", {'G', 'H'}, Operation::Inquiry,
         FaultEffect::FailControl, kErrorIoDevice, 0, notH, kG, 0,
         static_cast<DriveStatus>(kErrorIoDevice)},
        {"open refused where the machine says a drive may be", {'G', 'H'}, Operation::Open,
         FaultEffect::FailOpen, kErrorSharingViolation, 0, anyDisk, kG | kH, 0,
         static_cast<DriveStatus>(kErrorSharingViolation)},
        // F sits where E sits: a LUN of the drive found, not another drive.
        {"a LUN of the drive found", {'F'}, Operation::ReadIdentity, FaultEffect::ScsiStatus, 2, 0,
         nullptr, 0, 0, 0},
        // F's address is gone too: nothing shows it is E's drive.
        {"a LUN whose address is gone", {'F'}, Operation::Open, FaultEffect::FailOpen,
         kErrorSharingViolation, 1, nullptr, kF, kF,
         static_cast<DriveStatus>(kErrorSharingViolation)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedPlatform platform;
        const int first = platform.AddDrive(DriveWithSerial("FIRST-DRIVE"));
        platform.AttachVolume('E', first, 0);
        platform.AttachVolume('F', first, 1);
        const int second = platform.AddDrive(DriveWithSerial("SECOND-DRIVE"));
        platform.AttachVolume('G', second, 0);
        platform.AttachVolume('H', second, 1);
        for (const char letter : c.letters) {
            platform.InjectFault(faultOn(letter, c.operation, c.effect, c.code, c.skip));
        }
        DeviceScan scan;
        ScanDevices(platform, scan, nullptr, c.mayHold);
        // Drive 2 answers whole when only F fails.
        EXPECT_EQ(scan.count, c.letters.front() == 'F' ? 2 : 1);
        EXPECT_EQ(scan.record.unanswered, c.unanswered);
        EXPECT_EQ(scan.record.unansweredWithSignature, c.withSignature);
        int kept = 0;
        while (kept < kDriveLetterCount && (c.unanswered & (1u << kept)) == 0) ++kept;
        if (kept < kDriveLetterCount) {
            EXPECT_EQ(scan.record.unansweredStatus[kept], c.status);
        }

        // The user chose drive 1: nothing else can be taken for it.
        const PhysicalDevice chosen = scan.devices[0];
        ScanDevices(platform, scan, &chosen, c.mayHold);
        EXPECT_EQ(scan.record.unanswered, 0u);
    }
}

// The signature in the INQUIRY data: "PMAP1234" at bytes 36..43, or "PMAP" at bytes 32..35, both
// exact.
struct SignatureCase {
    const char* name;
    const char revision[4];
    const char vendorSpecific[8];
    std::int32_t result;
};

class SignatureTest : public DiscoveryTest, public ::testing::WithParamInterface<SignatureCase> {};

TEST_P(SignatureTest, MatchesExactly) {
    Drive drive = emulated::StandardDrive();
    emulated::SetInquiryBytes(drive, 32, GetParam().revision, 4);
    emulated::SetInquiryBytes(drive, 36, GetParam().vendorSpecific, 8);
    platform_.AttachVolume('E', platform_.AddDrive(drive), 0);
    EXPECT_EQ(IsCandidateDrive(platform_, 'E'), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Signatures, SignatureTest,
    ::testing::Values(
        SignatureCase{"ShortInRevision", {'P', 'M', 'A', 'P'}, {}, 0},
        SignatureCase{
            "LongAt36", {'1', '.', '0', '0'}, {'P', 'M', 'A', 'P', '1', '2', '3', '4'}, 0},
        SignatureCase{"LowerCaseShort", {'p', 'm', 'a', 'p'}, {}, -2},
        SignatureCase{
            "LowerCaseLong", {'1', '.', '0', '0'}, {'p', 'm', 'a', 'p', '1', '2', '3', '4'}, -2},
        SignatureCase{"ZeroInsideShort", {'P', 'M', 0, 'P'}, {}, -2},
        SignatureCase{
            "ZeroInsideLong", {'1', '.', '0', '0'}, {'P', 'M', 'A', 'P', 0, '2', '3', '4'}, -2},
        SignatureCase{"Byte36ZeroFallsBackToRevision",
                      {'P', 'M', 'A', 'P'},
                      {0, 'M', 'A', 'P', '1', '2', '3', '4'},
                      0},
        SignatureCase{"LongSignatureInRevisionPlace",
                      {'P', 'M', 'A', 'Q'},
                      {'P', 'M', 'A', 'P', '1', '2', '3', '5'},
                      -2},
        SignatureCase{"NoSignature", {'1', '.', '0', '0'}, {}, -2}),
    testing_support::CaseName());

// Grouping letters into devices: by where the device sits (its SCSI port, path and target) and
// its key; letters whose address cannot be read by their key alone. E is LUN 0 and F LUN 1, of
// one drive or of two.
struct GroupingCase {
    const char* name;
    bool oneDrive;
    const char* serialE;  // nullptr: no serial (flag byte 16 is 0)
    const char* serialF;  // of the second drive
    const char* addressFails;  // the letters whose address question fails
    int devices;
    const char* groups;
};

class GroupingTest : public DiscoveryTest, public ::testing::WithParamInterface<GroupingCase> {};

Drive DriveFor(const char* serial) {
    Drive drive = emulated::StandardDrive();
    if (serial == nullptr) {
        drive.identityBlock[16] = 0;
    } else {
        emulated::SetSerial(drive, serial);
    }
    return drive;
}

TEST_P(GroupingTest, GroupsByPhysicalDevice) {
    const GroupingCase& c = GetParam();
    const int first = platform_.AddDrive(DriveFor(c.serialE));
    platform_.AttachVolume('E', first, 0);
    platform_.AttachVolume('F', c.oneDrive ? first : platform_.AddDrive(DriveFor(c.serialF)), 1);
    for (const char* letter = c.addressFails; *letter != 0; ++letter) {
        Fault address;
        address.letter = *letter;
        address.operation = Operation::Address;
        address.effect = FaultEffect::FailControl;
        address.code = kErrorIoDevice;
        address.times = -1;
        platform_.InjectFault(address);
    }
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, c.devices);
    EXPECT_EQ(Groups(), c.groups);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, GroupingTest,
    ::testing::Values(
        GroupingCase{"OneDrive", true, "VD0000000001", nullptr, "", 1, "EF.."},
        GroupingCase{"OneDriveWithoutSerial", true, nullptr, nullptr, "", 1, "EF.."},
        GroupingCase{"TwoDrivesWithOneSerial", false, "VD0000000001", "VD0000000001", "", 2,
                     "E..F.."},
        GroupingCase{"TwoDrivesWhoseSerialsAgreeInTwelveCharacters", false, "AA0000000001-0001",
                     "AA0000000001-0002", "", 2, "E..F.."},
        GroupingCase{"TwoDrivesWithoutSerial", false, nullptr, nullptr, "", 2, "E..F.."},
        GroupingCase{"TwoDrivesWhoseSerialsDifferInCaseOnly", false, "ab12cd", "AB12CD", "", 2,
                     "E..F.."},
        // Without addresses only the key tells, as it always did.
        GroupingCase{"OneDriveWithoutAddresses", true, "VD0000000001", nullptr, "EF", 1, "EF.."},
        GroupingCase{"TwoDrivesOfOneKeyWithoutAddresses", false, "AA0000000001-0001",
                     "AA0000000001-0002", "EF", 1, "EF.."},
        GroupingCase{"TwoDrivesOfTwoKeysWithoutAddresses", false, "VD0000000001",
                     "VD0000000002", "EF", 2, "E..F.."},
        // A letter without address is never taken for one with: the drive counts as two.
        GroupingCase{"OneDriveWithOneAddressUnknown", true, "VD0000000001", nullptr, "F", 2,
                     "E..F.."}),
    testing_support::CaseName());

TEST_F(DiscoveryTest, TheLaterLetterOfADeviceWinsItsSlot) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('G', drive, 0);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(Groups(), "G..");
}

TEST_F(DiscoveryTest, AListTooSmallForTheDevicesReturnsTwo) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 1);
    for (std::size_t size = 0; size < 4; ++size) {
        EXPECT_EQ(FindInto(size), kFindDrivesListTooSmall) << size;
        EXPECT_EQ(count_, 0) << size;
    }
    EXPECT_EQ(FindInto(4), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
}

// A LUN index the record has no slot for is never written outside it: the letter is left out.
TEST_F(DiscoveryTest, LunIndexBeyondTheRecordLeavesTheLetterOut) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 12);
    platform_.AttachVolume('G', drive, 255);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(Groups(), "E..");
}

// The records lie side by side in one table: a slot one past the record's end is the next
// device's slot 0, where no sanitizer would notice a stray letter.
TEST_F(DiscoveryTest, LunIndexBeyondTheRecordDoesNotReachTheNextDevicesRecord) {
    const int first = platform_.AddDrive(emulated::StandardDrive());
    emulated::Drive second = emulated::StandardDrive();
    emulated::SetSerial(second, "VD0000000002");
    const int other = platform_.AddDrive(second);
    platform_.AttachVolume('E', first, 0);
    platform_.AttachVolume('F', first, static_cast<std::uint8_t>(kLunSlotsPerDevice));
    platform_.AttachVolume('H', other, 1);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 2);
    EXPECT_EQ(Groups(), "E..H..");
}

TEST_F(DiscoveryTest, OrderByLunLeavesOutLettersBeyondItsEightSlots) {
    const int drive = platform_.AddDrive(emulated::StandardDrive());
    platform_.AttachVolume('E', drive, 0);
    platform_.AttachVolume('F', drive, 8);
    platform_.AttachVolume('G', drive, 200);
    platform_.AttachVolume('H', drive, 7);
    char list[kLetterListSize] = {'E', 'F', 'G', 'H'};
    std::memset(list + 8, 'Z', sizeof(list) - 8);
    OrderByLun(platform_, list);
    EXPECT_EQ(std::string(list, 8), std::string("E\0\0\0\0\0\0H", 8));
    EXPECT_EQ(list[8], 'Z');
    EXPECT_EQ(SelectTargetLetter(list), 'E');
}

TEST_F(DiscoveryTest, MoreDevicesThanTheTableHoldsAreCountedWithoutOverflow) {
    // 23 drives with distinct serials on D..Z, each with one letter.
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        const std::string serial = std::string("SERIAL-") + letter;
        platform_.AttachVolume(letter, platform_.AddDrive(DriveWithSerial(serial.c_str())), 0);
    }
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 23);
    // The first sixteen are listed, one group each.
    EXPECT_EQ(Groups(), "D.E.F.G.H.I.J.K.L.M.N.O.P.Q.R.S..");
}

// A short identity answer is a failed read: the serial and LUN index past its end never arrived,
// and reading them from what the buffer held before would group the letter with another device.
TEST_F(DiscoveryTest, AShortIdentityAnswerLeavesTheLetterOut) {
    platform_.AttachVolume('E', platform_.AddDrive(DriveWithSerial("FIRST-DRIVE")), 0);
    Drive second = DriveWithSerial("SECOND-DRIVE");
    second.identityReturned = 527;
    platform_.AttachVolume('F', platform_.AddDrive(second), 1);
    ASSERT_EQ(FindInto(), kFindDrivesOk);
    EXPECT_EQ(count_, 1);
    EXPECT_EQ(Groups(), "E..");
}

// The scan that keeps what each device is sends the same commands, narrowed to one device or not;
// two drives of one serial are told apart by where they sit.
TEST_F(DiscoveryTest, AScanKeepsEachDeviceAndCanBeNarrowedToOne) {
    for (const char* serial : {"SECOND-DRIVE", "FIRST-DRIVE"}) {
        SCOPED_TRACE(serial);
        EmulatedPlatform platform;
        platform.AttachVolume('E', platform.AddDrive(DriveWithSerial("FIRST-DRIVE")), 0);
        const int second = platform.AddDrive(DriveWithSerial(serial));
        platform.AttachVolume('F', second, 1);
        platform.AttachVolume('G', second, 0);
        DeviceScan scan;
        ScanDevices(platform, scan, nullptr);
        const std::vector<std::string> trace = platform.CommandTrace();
        ASSERT_EQ(scan.count, 2);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(scan.devices[1].key.bytes)), serial);
        EXPECT_TRUE(scan.devices[1].addressKnown);
        EXPECT_EQ(scan.devices[1].port, second);
        EXPECT_EQ(std::string(scan.table.records[1].lunSlots, 2), "GF");
        EXPECT_EQ(scan.identities[1][385], 1);  // read through F, the device's first letter

        const PhysicalDevice chosen = scan.devices[1];
        platform.ClearLog();
        ScanDevices(platform, scan, &chosen);
        EXPECT_EQ(platform.CommandTrace(), trace);
        EXPECT_EQ(scan.count, 1);
        EXPECT_EQ(std::string(scan.table.records[0].lunSlots, 2), "GF");
    }
}

// Which volumes are one device, beyond what the emulated machine can show: an address that
// agrees is not enough when the keys differ.
TEST(SameDevice, NeedsTheAddressAndTheKeyToAgree) {
    PhysicalDevice a = {};
    a.addressKnown = true;
    a.port = 3;
    a.key.bytes[0] = 'v';
    struct Case {
        const char* name;
        void (*change)(PhysicalDevice&);
        bool same;
    } const cases[] = {
        {"Itself", [](PhysicalDevice&) {}, true},
        {"KeyInOtherCase", [](PhysicalDevice& b) { b.key.bytes[0] = 'V'; }, true},
        {"OtherKey", [](PhysicalDevice& b) { b.key.bytes[0] = 'W'; }, false},
        {"OtherPort", [](PhysicalDevice& b) { b.port = 4; }, false},
        {"OtherPath", [](PhysicalDevice& b) { b.path = 1; }, false},
        {"OtherTarget", [](PhysicalDevice& b) { b.target = 1; }, false},
        {"AddressUnknown", [](PhysicalDevice& b) { b.addressKnown = false; }, false},
    };
    for (const Case& c : cases) {
        PhysicalDevice b = a;
        c.change(b);
        EXPECT_EQ(SameDevice(a, b), c.same) << c.name;
        EXPECT_EQ(SameDevice(b, a), c.same) << c.name;
    }
    PhysicalDevice unknownA = a;
    unknownA.addressKnown = false;
    PhysicalDevice unknownB = unknownA;
    unknownB.port = 9;  // a port never read says nothing
    EXPECT_TRUE(SameDevice(unknownA, unknownB));
}

TEST(SelectTargetLetter, TakesTheLastSlotOfTheRunFromSlotZero) {
    struct Case {
        const char slots[8];
        char target;
    } const cases[] = {
        {{'E', 'F'}, 'F'},
        {{'E'}, 'E'},
        {{0, 'F'}, 'F'},  // slot 0 is always taken, even empty
        {{0, 0, 'G'}, 0},
        {{'E', 0, 'G'}, 'E'},
        {{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}, 'H'},
    };
    for (const Case& c : cases) {
        char list[kLetterListSize] = {};
        std::memcpy(list, c.slots, 8);
        list[8] = 'X';  // past the slots: never a letter
        EXPECT_EQ(SelectTargetLetter(list), c.target) << std::string(c.slots, 8);
    }
}

}  // namespace
}  // namespace vardel
