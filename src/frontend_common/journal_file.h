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

}  // namespace vardel::frontend
