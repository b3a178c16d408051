// vardelctl's backup reader on arbitrary files: it accepts a file or refuses it with a
// BackupFileError, nothing else. What it accepts, written again as a backup, reads back the same.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "commands/block_backup.h"
#include "drive/vendor_blocks.h"
#include "fuzz_check.h"
#include "scratch_file.h"
#include "vardelctl/backup_file.h"

namespace {

using vardel::cli::BackupFileError;
using vardel::cli::RestoreSource;

// An identity block whose serial gives exactly `key`: 24 characters, low bytes first.
void IdentityWithKey(const vardel::DeviceKey& key, vardel::VendorBlock& block) {
    constexpr std::size_t kCharacters = vardel::kDeviceKeySize;
    std::memset(block, 0, sizeof block);
    block[vardel::kSerialPresentOffset] = 1;
    block[vardel::kSerialDescriptorLengthOffset] = static_cast<std::uint8_t>(2 + 2 * kCharacters);
    for (std::size_t i = 0; i < kCharacters / 2; ++i) {
        block[vardel::kSerialCharactersOffset + 2 * i] = key.bytes[i];
        block[vardel::kSerialCharactersOffset + 2 * i + 1] = key.bytes[kCharacters / 2 + i];
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = vardel::fuzz::WriteScratchFile("backup.json", data, size);
    RestoreSource source;
    try {
        source = vardel::cli::ReadBackupFile(path);
    } catch (const BackupFileError&) {
        return 0;
    }

    vardel::BlockBackup backup = {};
    std::memcpy(backup.info, source.info, sizeof backup.info);
    IdentityWithKey(source.key, backup.identity);
    backup.key = source.key;
    backup.lun0Letter = 'E';
    backup.lun1Letter = 'F';
    backup.target = 'F';
    RestoreSource again;
    try {
        vardel::cli::WriteBackupFile(path, backup);
        again = vardel::cli::ReadBackupFile(path);
    } catch (const BackupFileError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        VARDEL_FUZZ_FAIL("a backup of what was read does not read back");
    }
    VARDEL_FUZZ_CHECK(std::memcmp(again.info, source.info, sizeof source.info) == 0);
    VARDEL_FUZZ_CHECK(std::memcmp(again.key.bytes, source.key.bytes, sizeof source.key.bytes) == 0);
    VARDEL_FUZZ_CHECK(again.serial == source.serial);
    return 0;
}
