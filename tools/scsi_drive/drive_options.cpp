#include "scsi_drive/drive_options.h"

#include <algorithm>
#include <cstdlib>

namespace vardel::scsi_drive {
namespace {

constexpr std::size_t kSwapFlagOffset = 172;
constexpr std::uint8_t kSwapFlag = 3;
constexpr std::size_t kLayoutMarkerOffset = 382;
constexpr std::uint8_t kLayoutMarker = 0x23;
constexpr std::size_t kRowByte[2] = {304, 305};
constexpr std::size_t kRevisionOffset = 32;
constexpr std::size_t kRevisionLength = 4;
constexpr std::size_t kSignatureOffset = 36;
constexpr std::size_t kSignatureLength = 8;

bool ParseNumber(const char* text, int base, unsigned long limit, unsigned long& value) {
    char* end = nullptr;
    value = std::strtoul(text, &end, base);
    return *text != '\0' && *end == '\0' && value <= limit;
}

}  // namespace

int ParseDriveOptions(int argc, const char* const* argv,
                      const std::vector<std::string>& transportOptions, DriveOptions& options,
                      std::string& error) {
    options.model = emulated::StandardDrive();
    bool swapped = false;
    int rowType[2] = {-1, -1};
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool transport = std::find(transportOptions.begin(), transportOptions.end(),
                                         option) != transportOptions.end();
        const bool takesValue = transport || option == "--name" || option == "--log" ||
                                option == "--serial" || option == "--lun0-type" ||
                                option == "--lun1-type" || option == "--identity-bytes" ||
                                option == "--revision" || option == "--signature";
        if (takesValue && i + 1 >= argc) {
            error = option + ": missing value";
            return kUsage;
        }
        const char* value = takesValue ? argv[++i] : nullptr;
        unsigned long number = 0;
        if (transport) {
            options.transport.emplace_back(option, value);
        } else if (option == "--name") {
            options.name = value;
        } else if (option == "--log") {
            options.logPath = value;
        } else if (option == "--serial") {
            emulated::SetSerial(options.model, value);
        } else if (option == "--revision" || option == "--signature") {
            const bool revision = option == "--revision";
            const std::size_t length = revision ? kRevisionLength : kSignatureLength;
            if (std::string(value).size() > length) {
                error = option + ": at most " + std::to_string(length) + " characters";
                return kUsage;
            }
            emulated::SetInquiryText(options.model, revision ? kRevisionOffset : kSignatureOffset,
                                     length, value);
        } else if (option == "--swapped") {
            swapped = true;
        } else if (option == "--lun0-type" || option == "--lun1-type") {
            if (!ParseNumber(value, 16, 0xFF, number)) {
                error = option + ": expected a hexadecimal byte, got \"" + value + "\"";
                return kUsage;
            }
            rowType[option == "--lun0-type" ? 0 : 1] = static_cast<int>(number);
        } else if (option == "--refuse-vendor") {
            options.behaviour.refuseVendor = true;
        } else if (option == "--ignore-writes") {
            options.model.keepsWrites = false;
        } else if (option == "--identity-bytes") {
            if (!ParseNumber(value, 10, emulated::kBlockSize, number)) {
                error = option + ": expected 0.." + std::to_string(emulated::kBlockSize);
                return kUsage;
            }
            options.model.identityReturned = number;
        } else {
            error = "unknown option \"" + option + "\"";
            return kUsage;
        }
    }
    if (swapped) {
        options.model.configBlock[kSwapFlagOffset] = kSwapFlag;
        options.model.identityBlock[kLayoutMarkerOffset] = kLayoutMarker;
    }
    for (std::size_t row = 0; row < 2; ++row) {
        if (rowType[row] < 0) continue;
        const std::size_t byte = kRowByte[swapped ? 1 - row : row];
        options.model.configBlock[byte] = static_cast<std::uint8_t>(rowType[row]);
    }
    return 0;
}

}  // namespace vardel::scsi_drive
