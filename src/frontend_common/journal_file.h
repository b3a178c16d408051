#pragma once
// Reading the journal back, for the history and for an undo (the writer is drive_journal.h).

#include <string>
#include <vector>

#include "device/scsi_commands.h"
#include "drive/device_key.h"

namespace vardel::frontend {

struct JournalEntry {
    std::string time;     // UTC, 2026-12-11T01:23:45Z
    std::string command;  // set, write, restore, undo
    std::string tool;
    std::string serial;  // the whole serial as people read it; empty without
    char target = 0;
    alignas(kVendorBlockAlignment) VendorBlock identity = {};
    alignas(kVendorBlockAlignment) VendorBlock asRead = {};   // the block the change replaced
    alignas(kVendorBlockAlignment) VendorBlock written = {};  // the block the change sent
    DeviceKey key = {};                                       // from `identity`
};

// The entries of the journal file at `path`, oldest first; a file that does not exist holds none.
// False, with `problem` naming the file and what is wrong, when it cannot be read or is no journal.
bool ReadJournalFile(const std::string& path, std::vector<JournalEntry>& entries,
                     std::string& problem);

// Every change in the journal folder's files (taken in the order of their names), only those of
// the drive whose whole serial is `serial` (without regard to case) unless it is empty, sorted
// oldest first. A folder that does not exist holds none. False, with `problem`, when the folder
// cannot be listed or a file is no journal.
bool ReadJournalFolder(const std::string& folder, const std::string& serial,
                       std::vector<JournalEntry>& entries, std::vector<std::string>& files,
                       std::string& problem);

// The last change kept for the drive whose identity block is `identity`, from its file in
// `folder` (named in `file`). Found, None (the file holds no change of that drive), or Unreadable
// with `problem`.
enum class LastChangeResult { Found, None, Unreadable };
LastChangeResult FindLastChange(const std::string& folder, const VendorBlock& identity,
                                JournalEntry& change, std::string& file, std::string& problem);

}  // namespace vardel::frontend
