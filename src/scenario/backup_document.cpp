#include "scenario/backup_document.h"

#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "scenario/json_bytes.h"
#include "texts/hex_text.h"
#include "texts/serial_text.h"

namespace vardel::frontend {
namespace {

using Json = nlohmann::ordered_json;

constexpr char kFormat[] = "vardel-backup";
constexpr int kFormatVersion = 1;

Json LetterValue(char letter) {
    return letter != 0 ? Json(std::string(1, letter)) : Json(nullptr);
}

bool Refuse(std::string& problem, const std::string& place, const std::string& what) {
    problem = place.empty() ? what : place + ": " + what;
    return false;
}

}  // namespace

std::string BackupDocumentText(const BlockBackup& backup, const std::string& tool) {
    Json document;
    document["format"] = kFormat;
    document["formatVersion"] = kFormatVersion;
    document["tool"] = tool;
    document["serial"] = SerialTextOf(backup.key);
    document["deviceKey"] = HexOf(backup.key.bytes, kDeviceKeySize);
    document["letters"] = {{"lun0", LetterValue(backup.lun0Letter)},
                           {"lun1", LetterValue(backup.lun1Letter)},
                           {"target", LetterValue(backup.target)}};
    document["inquiry"] = HexOf(backup.inquiry, kInquiryLength);
    document["identityBlock"] = HexLines(backup.identity, kVendorBlockSize);
    document["configBlock"] = HexLines(backup.info, kVendorBlockSize);
    return document.dump(2) + '\n';
}

bool ParseBackupDocument(const std::string& text, RestoreSource& source, std::string& problem) {
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& error) {
        // A syntax error, or a number too large for any type (out_of_range).
        return Refuse(problem, "", std::string("not valid JSON (") + error.what() + ")");
    }
    if (!document.is_object()) return Refuse(problem, "", "expected an object");
    if (!document.contains("format") || document["format"] != kFormat) {
        return Refuse(problem, "format", std::string("expected \"") + kFormat + "\"");
    }
    if (!document.contains("formatVersion") || document["formatVersion"] != kFormatVersion) {
        return Refuse(problem, "formatVersion", "expected " + std::to_string(kFormatVersion));
    }

    source = RestoreSource{};
    std::vector<std::uint8_t> bytes;
    std::string wrong;
    for (const char* name : {"identityBlock", "configBlock"}) {
        if (!document.contains(name)) return Refuse(problem, name, "missing");
        if (!BytesFromJson(document[name], kVendorBlockSize, bytes, wrong)) {
            return Refuse(problem, name, wrong);
        }
        if (std::strcmp(name, "configBlock") == 0) {
            std::memcpy(source.info, bytes.data(), kVendorBlockSize);
        } else {
            std::memcpy(source.identity, bytes.data(), kVendorBlockSize);
            source.key = ExtractDeviceKey(source.identity);
        }
    }
    // The key is written beside the block for people; the two must agree.
    if (document.contains("deviceKey")) {
        if (!BytesFromJson(document["deviceKey"], kDeviceKeySize, bytes, wrong)) {
            return Refuse(problem, "deviceKey", wrong);
        }
        if (std::memcmp(bytes.data(), source.key.bytes, kDeviceKeySize) != 0) {
            return Refuse(problem, "deviceKey", "does not match the identity block");
        }
    }
    source.serial = SerialOfIdentity(source.identity);
    return true;
}

}  // namespace vardel::frontend
