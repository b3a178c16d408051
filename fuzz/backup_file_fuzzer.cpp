// vardelctl's backup reader on arbitrary files: it accepts a file or refuses it with a
// BackupFileError, nothing else. What it accepts, written again as a backup, reads back the same.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "commands/block_backup.h"
#include "fuzz_check.h"
#include "scratch_file.h"
#include "vardelctl/backup_file.h"

namespace {

using vardel::cli::BackupFileError;
using vardel::cli::RestoreSource;

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
    std::memcpy(backup.identity, source.identity, sizeof backup.identity);
    backup.key = source.key;
    backup.lun0Letter = 'E';
    backup.lun1Letter = 'F';
    backup.target = 'F';
    RestoreSource again;
    try {
        vardel::cli::WriteBackupFile(path, backup, true);
        again = vardel::cli::ReadBackupFile(path);
    } catch (const BackupFileError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        VARDEL_FUZZ_FAIL("a backup of what was read does not read back");
    }
    VARDEL_FUZZ_CHECK(std::memcmp(again.info, source.info, sizeof source.info) == 0);
    VARDEL_FUZZ_CHECK(std::memcmp(again.identity, source.identity, sizeof source.identity) == 0);
    VARDEL_FUZZ_CHECK(std::memcmp(again.key.bytes, source.key.bytes, sizeof source.key.bytes) == 0);
    VARDEL_FUZZ_CHECK(again.serial == source.serial);
    return 0;
}
