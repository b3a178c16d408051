#include "vardelctl/backup_file.h"

#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>

#include "frontend_common/file_io.h"
#include "frontend_common/hex_text.h"
#include "frontend_common/json_bytes.h"
#include "vardelctl/serial_text.h"

namespace vardel::cli {

using frontend::BytesFromJson;
using frontend::HexLines;
using frontend::HexOf;
namespace {

using Json = nlohmann::ordered_json;

constexpr char kFormat[] = "vardel-backup";
constexpr int kFormatVersion = 1;

Json LetterValue(char letter) {
    return letter != 0 ? Json(std::string(1, letter)) : Json(nullptr);
}

}  // namespace

std::string BackupFileText(const BlockBackup& backup) {
    Json document;
    document["format"] = kFormat;
    document["formatVersion"] = kFormatVersion;
    document["tool"] = "vardelctl " VARDEL_VERSION;
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

// Replaced whole or not at all: a write that fails (a full disk) leaves the earlier backup.
void WriteBackupFile(const std::string& path, const BlockBackup& backup, bool replaceExisting) {
    std::string problem;
    switch (frontend::WriteFileAtomically(path, BackupFileText(backup), replaceExisting, problem)) {
        case frontend::FileWriteResult::Written:
            return;
        case frontend::FileWriteResult::Exists:
            throw BackupFileExists(path + ": exists; give --force to replace it");
        case frontend::FileWriteResult::Failed:
            break;
    }
    throw BackupFileError(path + ": " + problem);
}

RestoreSource ReadBackupFile(const std::string& path) {
    auto fail = [&path](const std::string& place, const std::string& what) {
        throw BackupFileError(path + ": " + (place.empty() ? "" : place + ": ") + what);
    };
    std::string text;
    std::string unreadable;
    if (!frontend::ReadWholeFile(path, text, unreadable)) fail("", unreadable);
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& error) {
        // A syntax error, or a number too large for any type (out_of_range).
        fail("", std::string("not valid JSON (") + error.what() + ")");
    }
    if (!document.is_object()) fail("", "expected an object");
    if (!document.contains("format") || document["format"] != kFormat) {
        fail("format", std::string("expected \"") + kFormat + "\"");
    }
    if (!document.contains("formatVersion") || document["formatVersion"] != kFormatVersion) {
        fail("formatVersion", "expected " + std::to_string(kFormatVersion));
    }

    RestoreSource source;
    std::vector<std::uint8_t> bytes;
    std::string problem;
    for (const char* name : {"identityBlock", "configBlock"}) {
        if (!document.contains(name)) fail(name, "missing");
        if (!BytesFromJson(document[name], kVendorBlockSize, bytes, problem)) fail(name, problem);
        if (std::strcmp(name, "configBlock") == 0) {
            std::memcpy(source.info, bytes.data(), kVendorBlockSize);
        } else {
            std::memcpy(source.identity, bytes.data(), kVendorBlockSize);
            source.key = ExtractDeviceKey(source.identity);
        }
    }
    // The key is written beside the block for people; the two must agree.
    if (document.contains("deviceKey")) {
        if (!BytesFromJson(document["deviceKey"], kDeviceKeySize, bytes, problem)) {
            fail("deviceKey", problem);
        }
        if (std::memcmp(bytes.data(), source.key.bytes, kDeviceKeySize) != 0) {
            fail("deviceKey", "does not match the identity block");
        }
    }
    source.serial = SerialOfIdentity(source.identity);
    return source;
}

}  // namespace vardel::cli
