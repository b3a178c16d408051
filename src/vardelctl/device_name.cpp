#include "vardelctl/device_name.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "vardelctl/serial_text.h"

namespace vardel::cli {
namespace {

constexpr char kNodePrefix = '/';

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
    return DeviceKeyFromSerialText(text, name.key);
}

char LetterOfNode(const std::string& node, const DiskDescriber& describe) {
    if (!describe) return 0;
    // /dev/disk/by-id/... and other links lead to the node the system lists.
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(node, error);
    const std::string target = error ? node : resolved.string();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        frontend::DiskDescription description;
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

}  // namespace vardel::cli
