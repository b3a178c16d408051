#include "vardelctl/backup_file.h"

#include "files/file_io.h"

namespace vardel::cli {

std::string BackupFileText(const BlockBackup& backup) {
    return frontend::BackupDocumentText(backup, "vardelctl " VARDEL_VERSION);
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
    std::string text;
    std::string problem;
    if (!frontend::ReadWholeFile(path, text, problem)) throw BackupFileError(path + ": " + problem);
    RestoreSource source;
    if (!frontend::ParseBackupDocument(text, source, problem)) {
        throw BackupFileError(path + ": " + problem);
    }
    return source;
}

}  // namespace vardel::cli
