// Discovery over an emulated machine built from the input: whatever the letters, INQUIRY data,
// identity blocks, mounted-device entries and faults, it sends nothing but INQUIRY and identity
// reads, closes every volume it opened, never writes outside the list it was given, and reports
// a count and a list that agree with each other and with the machine.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include "drive/device_key.h"
#include "drive/discovery.h"
#include "drive/physical_device.h"
#include "emulated_machine.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "platform/emulated/emulated_platform.h"

namespace {

using vardel::emulated::CallRecord;
using vardel::emulated::EmulatedPlatform;
using vardel::emulated::Operation;
using vardel::fuzz::MachineSetUp;

// Every group takes at most three bytes, and the list one closing zero.
constexpr std::size_t kLongestList = vardel::kMaxDevices * 3 + 1;

int DriveOf(const MachineSetUp& machine, char letter) {
    return machine.letters[static_cast<std::size_t>(letter - 'A')].driveIndex;
}

vardel::DeviceKey KeyOf(const MachineSetUp& machine, char letter) {
    const int drive = machine.letters[static_cast<std::size_t>(letter - 'A')].driveIndex;
    alignas(vardel::kVendorBlockAlignment) vardel::VendorBlock block;
    std::memcpy(block, machine.drives[static_cast<std::size_t>(drive)].identityBlock.data(),
                sizeof block);
    return vardel::ExtractDeviceKey(block);
}

void CheckCallsOnlyRead(EmulatedPlatform& platform, const MachineSetUp& machine) {
    int opened = 0;
    int closed = 0;
    for (const CallRecord& call : platform.Log()) {
        if (call.kind == CallRecord::Kind::Open && call.succeeded) ++opened;
        if (call.kind == CallRecord::Kind::Close) {
            VARDEL_FUZZ_CHECK(call.succeeded);
            ++closed;
        }
        if (call.kind == CallRecord::Kind::Control) {
            VARDEL_FUZZ_CHECK(call.operation == Operation::Inquiry ||
                              call.operation == Operation::ReadIdentity ||
                              call.operation == Operation::Address);
            VARDEL_FUZZ_CHECK(call.dataSent.empty());
        }
    }
    VARDEL_FUZZ_CHECK(opened == closed);
    for (std::size_t i = 0; i < machine.drives.size(); ++i) {
        VARDEL_FUZZ_CHECK(platform.DriveAt(static_cast<int>(i)).configBlock ==
                          machine.drives[i].configBlock);
    }
}

// A letter in the list belongs to a drive of ours behind an existing letter, at the LUN slot it
// was listed in.
void CheckListedLetter(const MachineSetUp& machine, char letter, std::size_t slot) {
    VARDEL_FUZZ_CHECK(letter >= 'A' && letter <= 'Z');
    const vardel::fuzz::LetterSetUp& entry =
        machine.letters[static_cast<std::size_t>(letter - 'A')];
    VARDEL_FUZZ_CHECK(entry.exists && entry.driveIndex >= 0);
    VARDEL_FUZZ_CHECK(entry.lunIndex == slot);
}

// Parses the list FindDrives filled and checks it against the machine. Returns the letters.
std::vector<std::vector<char>> CheckList(const MachineSetUp& machine, const char* list,
                                         std::size_t size, int count,
                                         const vardel::PhysicalDevice* only) {
    const int recorded = count < static_cast<int>(vardel::kMaxDevices)
                             ? count
                             : static_cast<int>(vardel::kMaxDevices);
    std::vector<std::vector<char>> groups;
    std::set<char> seen;
    std::size_t i = 0;
    for (int j = 0; j < recorded; ++j) {
        std::vector<char> group;
        VARDEL_FUZZ_CHECK(i < size);
        const char lun0 = list[i++];
        if (lun0 != 0) {
            CheckListedLetter(machine, lun0, 0);
            group.push_back(lun0);
        }
        VARDEL_FUZZ_CHECK(i < size);
        if (list[i] != 0) {
            CheckListedLetter(machine, list[i], 1);
            group.push_back(list[i++]);
        }
        VARDEL_FUZZ_CHECK(i < size && list[i++] == 0);
        for (char letter : group) VARDEL_FUZZ_CHECK(seen.insert(letter).second);
        groups.push_back(group);
    }
    VARDEL_FUZZ_CHECK(i < size && list[i] == 0);

    // The letters of one device share its key and, where no fault can have hidden an address,
    // its drive; two such devices never share both.
    for (std::size_t a = 0; a < groups.size(); ++a) {
        for (char letter : groups[a]) {
            const vardel::DeviceKey key = KeyOf(machine, letter);
            if (only != nullptr) {
                VARDEL_FUZZ_CHECK(vardel::KeysMatch(key, only->key));
                if (machine.everyReadWhole) VARDEL_FUZZ_CHECK(DriveOf(machine, letter) == only->port);
            }
            for (std::size_t b = 0; b < groups.size(); ++b) {
                for (char other : groups[b]) {
                    const bool keys = vardel::KeysMatch(key, KeyOf(machine, other));
                    const bool drive = DriveOf(machine, letter) == DriveOf(machine, other);
                    if (a == b) VARDEL_FUZZ_CHECK(keys);
                    if (machine.everyReadWhole) VARDEL_FUZZ_CHECK((keys && drive) == (a == b));
                }
            }
        }
    }
    return groups;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vardel::fuzz::FuzzInput input(data, size);
    EmulatedPlatform platform;
    const MachineSetUp machine = vardel::fuzz::BuildMachine(input, platform);

    // Sometimes a list too small for what is found; exactly as large as said, so that a write
    // past its end shows.
    const std::size_t listSize = input.Flag() ? vardel::kLetterListSize : 1 + input.Below(40);
    std::vector<char> list(listSize, 0);
    // Narrowed to a device the emulated machine answers for (drive 0 with its own key, as
    // discovery would name it) or to any key on any port.
    vardel::PhysicalDevice onlyDevice{};
    const bool narrowed = input.Flag();
    if (narrowed) {
        onlyDevice.addressKnown = true;
        if (input.Flag()) {
            input.Bytes(onlyDevice.key.bytes, sizeof onlyDevice.key.bytes);
            onlyDevice.port = static_cast<std::uint8_t>(input.Below(4));
        } else {
            alignas(vardel::kVendorBlockAlignment) vardel::VendorBlock block;
            std::memcpy(block, machine.drives[0].identityBlock.data(), sizeof block);
            onlyDevice.key = vardel::ExtractDeviceKey(block);
        }
    }
    const vardel::PhysicalDevice* only = narrowed ? &onlyDevice : nullptr;

    std::uint8_t count = 0xEE;
    const int result = vardel::FindDrives(platform, list.data(), list.size(), count, only);
    CheckCallsOnlyRead(platform, machine);

    const bool versionAccepted = ((machine.version >> 8) & 0xFF) <= 2;
    VARDEL_FUZZ_CHECK(result == vardel::kFindDrivesOk ||
                      result == vardel::kFindDrivesListTooSmall ||
                      result == vardel::kFindDrivesVersionRefused);
    VARDEL_FUZZ_CHECK((result == vardel::kFindDrivesVersionRefused) == !versionAccepted);
    if (!versionAccepted) {
        for (const CallRecord& call : platform.Log()) {
            VARDEL_FUZZ_CHECK(call.kind == CallRecord::Kind::Version);
        }
    }
    if (result != vardel::kFindDrivesOk) {
        VARDEL_FUZZ_CHECK(count == 0);
        VARDEL_FUZZ_CHECK(result != vardel::kFindDrivesListTooSmall || listSize < kLongestList);
        return 0;
    }

    const auto groups = CheckList(machine, list.data(), list.size(), count, only);
    if (only != nullptr) VARDEL_FUZZ_CHECK(count <= 1);
    int ours = 0;
    for (const auto& entry : machine.letters) ours += entry.exists && entry.driveIndex >= 0;
    VARDEL_FUZZ_CHECK(count <= ours);

    // The ordering by LUN and the choice of target, as a command makes them.
    if (count != 1 || list[0] == 0 || listSize < vardel::kOrderedLunSlots) return 0;
    platform.ClearLog();
    std::vector<char> ordered(list);
    vardel::OrderByLun(platform, ordered.data());
    CheckCallsOnlyRead(platform, machine);
    VARDEL_FUZZ_CHECK(std::memcmp(ordered.data() + vardel::kOrderedLunSlots,
                                  list.data() + vardel::kOrderedLunSlots,
                                  listSize - vardel::kOrderedLunSlots) == 0);
    std::set<char> before(groups[0].begin(), groups[0].end());
    std::set<char> slots;
    for (std::size_t i = 0; i < vardel::kOrderedLunSlots; ++i) {
        if (ordered[i] == 0) continue;
        VARDEL_FUZZ_CHECK(before.count(ordered[i]) == 1);
        VARDEL_FUZZ_CHECK(slots.insert(ordered[i]).second);
        // When every read comes whole, each letter lands in its own LUN's slot.
        if (machine.everyReadWhole) CheckListedLetter(machine, ordered[i], i);
    }
    const char target = vardel::SelectTargetLetter(ordered.data());
    VARDEL_FUZZ_CHECK(target == 0 || slots.count(target) == 1);
    return 0;
}
