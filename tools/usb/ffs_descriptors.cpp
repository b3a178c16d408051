#include "usb/ffs_descriptors.h"

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

namespace vardel::usb {
namespace {

constexpr std::uint8_t kSubclassScsi = 0x06;
constexpr std::uint8_t kProtocolBulkOnly = 0x50;
constexpr std::uint16_t kFullSpeedPacket = 64;
constexpr std::uint16_t kHighSpeedPacket = 512;
constexpr std::uint32_t kDescriptorsPerSpeed = 3;  // the interface and its two endpoints

void PutLe16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLe16(out, static_cast<std::uint16_t>(value));
    PutLe16(out, static_cast<std::uint16_t>(value >> 16));
}

// The total length, known once everything is written, goes into bytes 4..7.
void PatchLength(std::vector<std::uint8_t>& out) {
    const auto length = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
}

void PutInterfaceAndEndpoints(std::vector<std::uint8_t>& out, std::uint16_t packetSize) {
    out.insert(out.end(), {USB_DT_INTERFACE_SIZE, USB_DT_INTERFACE, kInterfaceNumber, 0, 2,
                           USB_CLASS_MASS_STORAGE, kSubclassScsi, kProtocolBulkOnly, 0});
    for (const std::uint8_t address : {std::uint8_t{1 | USB_DIR_IN}, std::uint8_t{2}}) {
        out.insert(out.end(),
                   {USB_DT_ENDPOINT_SIZE, USB_DT_ENDPOINT, address, USB_ENDPOINT_XFER_BULK});
        PutLe16(out, packetSize);
        out.push_back(0);  // bInterval: unused for bulk endpoints
    }
}

}  // namespace

std::vector<std::uint8_t> FunctionDescriptors() {
    std::vector<std::uint8_t> out;
    PutLe32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    PutLe32(out, 0);
    PutLe32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    PutLe32(out, kDescriptorsPerSpeed);
    PutLe32(out, kDescriptorsPerSpeed);
    PutInterfaceAndEndpoints(out, kFullSpeedPacket);
    PutInterfaceAndEndpoints(out, kHighSpeedPacket);
    PatchLength(out);
    return out;
}

// No strings: the interface names none (iInterface 0); the gadget's own strings are in configfs.
std::vector<std::uint8_t> FunctionStrings() {
    std::vector<std::uint8_t> out;
    PutLe32(out, FUNCTIONFS_STRINGS_MAGIC);
    PutLe32(out, 0);
    PutLe32(out, 0);
    PutLe32(out, 0);
    PatchLength(out);
    return out;
}

}  // namespace vardel::usb
