#pragma once
// The backup file: both vendor blocks as read, the INQUIRY data, the letters and the serial key,
// in JSON (described in docs/vardelctl.md).

#include <stdexcept>
#include <string>

#include "commands/block_backup.h"

namespace vardel::cli {

// A backup that cannot be written or read; the text names the file and the place in it.
class BackupFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void WriteBackupFile(const std::string& path, const BlockBackup& backup);

// What a restore needs of a backup. The key is taken from the backed-up identity block.
struct RestoreSource {
    alignas(kVendorBlockAlignment) VendorBlock info;
    DeviceKey key;
    std::string serial;
};

// Reads and checks the whole file; throws BackupFileError.
RestoreSource ReadBackupFile(const std::string& path);

}  // namespace vardel::cli
