#include "machine/device_name.h"

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "texts/hex_text.h"
#include "texts/serial_text.h"

namespace vardel::frontend {
namespace {

constexpr char kNodePrefix = '/';
constexpr char kHexPrefix[] = "hex:";

bool IsLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool ParseDeviceName(const std::string& text, DeviceName& name) {
    name = DeviceName{};
    if ((text.size() == 1 || (text.size() == 2 && text[1] == ':')) && IsLetter(text[0])) {
        name.kind = DeviceNameKind::Letter;
        name.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        return true;
    }
    if (!text.empty() && text[0] == kNodePrefix) {
        name.kind = DeviceNameKind::Node;
        name.node = text;
        return true;
    }
    name.kind = DeviceNameKind::Serial;
    name.serial = text;
    if (text.rfind(kHexPrefix, 0) == 0) {
        std::vector<std::uint8_t> bytes;
        return BytesFromHex(text.substr(sizeof(kHexPrefix) - 1), bytes) && !bytes.empty();
    }
    for (const char c : text) {
        if (c < 0x21 || c > 0x7E) return false;
    }
    return true;
}

char LetterOfNode(const std::string& node, const DiskDescriber& describe) {
    if (!describe) return 0;
    // /dev/disk/by-id/... and other links lead to the node the system lists.
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(node, error);
    const std::string target = error ? node : resolved.string();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        DiskDescription description;
        if (!describe(letter, description)) continue;
        for (const std::string& path : description.paths) {
            if (path == node || path == target) return letter;
        }
    }
    return 0;
}

const ListedDevice* DeviceAtLetter(const DeviceListing& listing, char letter) {
    for (int j = 0; j < listing.recorded; ++j) {
        for (const char slot : listing.devices[j].lunSlots) {
            if (slot != 0 && slot == letter) return &listing.devices[j];
        }
    }
    return nullptr;
}

std::vector<const ListedDevice*> DevicesWithSerial(const DeviceListing& listing,
                                                   const std::string& serial) {
    const auto folded = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string wanted = folded(serial);
    std::vector<const ListedDevice*> found;
    for (int j = 0; j < listing.recorded; ++j) {
        const std::string carried = SerialOfIdentity(listing.devices[j].identity);
        if (!carried.empty() && folded(carried) == wanted) found.push_back(&listing.devices[j]);
    }
    return found;
}

DeviceChoice ChooseDevice(const DeviceListing& listing, const DeviceName& name,
                          const DiskDescriber& describe) {
    DeviceChoice choice;
    if (name.kind == DeviceNameKind::Serial) {
        choice.carriers = DevicesWithSerial(listing, name.serial);
        if (choice.carriers.size() == 1) {
            choice.result = DeviceChoiceResult::Found;
            choice.device = choice.carriers[0]->physical;
        } else {
            choice.result = choice.carriers.empty() ? DeviceChoiceResult::NoSerialMatch
                                                    : DeviceChoiceResult::SerialShared;
        }
        return choice;
    }
    choice.letter =
        name.kind == DeviceNameKind::Letter ? name.letter : LetterOfNode(name.node, describe);
    if (const ListedDevice* found = DeviceAtLetter(listing, choice.letter); found != nullptr) {
        choice.result = DeviceChoiceResult::Found;
        choice.device = found->physical;
    } else if (name.kind == DeviceNameKind::Letter) {
        choice.result = DeviceChoiceResult::NoDriveAtLetter;
    } else {
        choice.result =
            choice.letter == 0 ? DeviceChoiceResult::NoSuchNode : DeviceChoiceResult::NodeNotServed;
    }
    return choice;
}

}  // namespace vardel::frontend
