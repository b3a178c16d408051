#include "vardelctl/listed_drive_text.h"

#include "texts/serial_text.h"

namespace vardel::cli {

using frontend::SerialOfIdentity;

std::string SerialShown(const ListedDevice& device) {
    const std::string serial = SerialOfIdentity(device.identity);
    return serial.empty() ? "(none)" : serial;
}

std::string InquiryText(const InquiryData& inquiry, std::size_t offset, std::size_t length) {
    std::string text(reinterpret_cast<const char*>(inquiry + offset), length);
    for (char& c : text) {
        if (c == 0) c = ' ';
    }
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? "" : text.substr(0, last + 1);
}

}  // namespace vardel::cli
