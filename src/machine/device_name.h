#pragma once
// What --device names: a drive's whole serial as `list` shows it (letter case aside), a drive
// letter ("E" or "E:", on every system), or one of the system's device nodes ("/dev/sdb",
// "/dev/sg1", or a link to one). Each is turned into the physical device behind it, and the
// commands narrow discovery to that device. A serial that several drives carry names none of
// them: a letter or node then chooses.

#include <functional>
#include <string>
#include <vector>

#include "commands/device_listing.h"
#include "drive/device_key.h"
#include "machine/machine_platform.h"

namespace vardel::frontend {

enum class DeviceNameKind { Serial, Letter, Node };

struct DeviceName {
    DeviceNameKind kind = DeviceNameKind::Serial;
    std::string serial;  // Serial, as given
    char letter = 0;     // Letter
    std::string node;    // Node, as given
};

// False for a text that is none of them (a serial with bytes that are not printable ASCII, or
// "hex:" without whole bytes of hexadecimal after it).
bool ParseDeviceName(const std::string& text, DeviceName& name);

// What the system says of a letter's disk (DescribeMachineDisk, or a stand-in); empty
// where the system names no nodes.
using DiskDescriber = std::function<bool(char letter, DiskDescription& description)>;

// The letter whose disk the system knows by `node`, the node itself or, for a link, the node it
// leads to; 0 when no letter has it.
char LetterOfNode(const std::string& node, const DiskDescriber& describe);

// The listed device with a volume at `letter`; null when none has.
const ListedDevice* DeviceAtLetter(const DeviceListing& listing, char letter);

// The listed devices whose whole serial, as `list` shows it, is `serial` without regard to case.
std::vector<const ListedDevice*> DevicesWithSerial(const DeviceListing& listing,
                                                   const std::string& serial);

// How a name chose among the listed drives.
enum class DeviceChoiceResult {
    Found,            // `device` is the one drive the name stands for
    NoSerialMatch,    // no listed drive carries the serial
    SerialShared,     // several carry it (`carriers`): only a letter or node tells them apart
    NoDriveAtLetter,  // the letter is no drive of the served kind
    NoSuchNode,       // no disk has the node (always so where the system names no nodes)
    NodeNotServed,    // the node's disk (`letter`) is no drive of the served kind
};

struct DeviceChoice {
    DeviceChoiceResult result = DeviceChoiceResult::NoSuchNode;
    PhysicalDevice device{};
    char letter = 0;
    std::vector<const ListedDevice*> carriers;
};

// The drive `name` stands for among `listing`'s; `describe` as for LetterOfNode.
DeviceChoice ChooseDevice(const DeviceListing& listing, const DeviceName& name,
                          const DiskDescriber& describe);

}  // namespace vardel::frontend
