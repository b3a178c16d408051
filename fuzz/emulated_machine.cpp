#include "emulated_machine.h"

#include <string>

namespace vardel::fuzz {
namespace {

constexpr std::size_t kMaxDrives = 26;
constexpr std::size_t kMaxFaults = 4;
constexpr std::uint32_t kAcceptedVersion = 0x23F00206u;

// Serial characters drawn from a small alphabet, both cases, so that keys collide and differ
// only in case often.
std::string SerialText(FuzzInput& input) {
    static constexpr char kAlphabet[] = "ABab01Zz";
    std::string serial(input.Below(20), ' ');
    for (char& c : serial) c = kAlphabet[input.Below(sizeof kAlphabet - 1)];
    return serial;
}

emulated::Drive BuildDrive(FuzzInput& input) {
    emulated::Drive drive = emulated::StandardDrive();
    switch (input.Below(4)) {
        case 0:
            break;  // both signatures
        case 1:
            emulated::SetInquiryText(drive, 32, 12, "1.00");
            break;
        case 2:
            emulated::SetInquiryText(drive, 36, 8, "");
            break;
        default: {
            std::uint8_t bytes[12];
            input.Bytes(bytes, sizeof bytes);
            emulated::SetInquiryBytes(drive, 32, bytes, sizeof bytes);
        }
    }
    switch (input.Below(4)) {
        case 0:
            break;  // the standard serial, shared by every such drive
        case 1:
            emulated::SetSerial(drive, SerialText(input).c_str());
            break;
        case 2: {
            // Any flag, any descriptor length, any characters.
            drive.identityBlock[16] = input.Byte();
            drive.identityBlock[96] = input.Byte();
            for (std::size_t i = 98; i < 122; ++i) drive.identityBlock[i] = input.Byte();
            break;
        }
        default:
            drive.identityBlock[16] = 0;
    }
    if (input.Below(4) == 0) drive.identityReturned = input.U16() % (emulated::kBlockSize + 1);
    return drive;
}

emulated::Fault BuildFault(FuzzInput& input) {
    emulated::Fault fault;
    const std::size_t letter = input.Below(kLetters + 1);
    fault.letter = letter == 0 ? 0 : static_cast<char>('A' + letter - 1);
    fault.operation = static_cast<emulated::Operation>(input.Below(6));
    fault.effect = static_cast<emulated::FaultEffect>(input.Below(4));
    fault.skip = static_cast<int>(input.Below(4));
    fault.times = static_cast<int>(input.Below(5)) - 1;
    // A fault always fails: code 0 would be a call that reports success and did nothing, which
    // no driver does.
    if (fault.effect == emulated::FaultEffect::ScsiStatus) {
        fault.code = static_cast<std::uint32_t>(1 + input.Below(255));
    } else {
        fault.code = input.U16() | 1u;
    }
    return fault;
}

}  // namespace

MachineSetUp BuildMachine(FuzzInput& input, emulated::EmulatedPlatform& platform) {
    MachineSetUp setUp;
    setUp.version = input.Below(8) == 0 ? input.U32() : kAcceptedVersion;
    platform.SetVersionNumber(setUp.version);

    const std::size_t driveCount = 1 + input.Below(kMaxDrives);
    for (std::size_t i = 0; i < driveCount; ++i) {
        setUp.drives.push_back(BuildDrive(input));
        if (setUp.drives.back().identityReturned < emulated::kBlockSize) {
            setUp.everyReadWhole = false;
        }
        platform.AddDrive(setUp.drives.back());
    }

    for (int i = 0; i < kLetters; ++i) {
        const char letter = static_cast<char>('A' + i);
        LetterSetUp& entry = setUp.letters[static_cast<std::size_t>(i)];
        const std::uint8_t choice = input.Byte();
        switch (choice % 4) {
            case 0:
                break;  // no such letter
            case 1:
                platform.AddOtherVolume(letter);
                entry.exists = true;
                break;
            case 2:
                entry.driveIndex = static_cast<int>(input.Below(driveCount));
                // Mostly the LUN indices a drive has, sometimes any byte.
                entry.lunIndex =
                    (choice & 0x80) != 0 ? input.Byte() : static_cast<std::uint8_t>(input.Below(3));
                platform.AttachVolume(letter, entry.driveIndex, entry.lunIndex);
                entry.exists = true;
                break;
            default:
                platform.SetLetterExists(letter, true);  // a letter with no volume behind it
                entry.exists = true;
        }
        switch (input.Below(8)) {
            case 0:
                platform.SetMountedEntry(letter, emulated::MountedEntry::Absent);
                break;
            case 1:
                platform.SetMountedEntry(letter, emulated::MountedEntry::TooLong);
                break;
            case 2:
                platform.SetLetterExists(letter, false);
                entry.exists = false;
                break;
            default:
                break;
        }
    }

    const std::size_t faults = input.Below(kMaxFaults + 1);
    if (faults > 0) setUp.everyReadWhole = false;
    for (std::size_t i = 0; i < faults; ++i) platform.InjectFault(BuildFault(input));
    return setUp;
}

}  // namespace vardel::fuzz
