#pragma once
// The backup file: both vendor blocks as read, the INQUIRY data, the letters and the serial key,
// in JSON (described in docs/vardelctl.md).

#include <stdexcept>
#include <string>

#include "commands/block_backup.h"
#include "scenario/backup_document.h"

namespace vardel::cli {

// A backup that cannot be written or read; the text names the file and the place in it.
class BackupFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The file named exists, and was not to be replaced.
class BackupFileExists : public BackupFileError {
  public:
    using BackupFileError::BackupFileError;
};

// The file's JSON text, with its final line break.
std::string BackupFileText(const BlockBackup& backup);

// Puts the backup at `path`, replacing the file whole or not at all. Throws BackupFileExists when
// the file exists and `replaceExisting` is false, BackupFileError on any other failure.
void WriteBackupFile(const std::string& path, const BlockBackup& backup, bool replaceExisting);

using frontend::RestoreSource;

// Reads and checks the whole file; throws BackupFileError.
RestoreSource ReadBackupFile(const std::string& path);

}  // namespace vardel::cli
