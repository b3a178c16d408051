#pragma once
// A journal file's text, both ways: the one reader that the history, the undo and the writer
// itself use, and the renderer of an entry. The writer keeps a file only as this reader reads it,
// so that it never extends a journal the history would refuse.
//
// The file is JSON with one entry a line, each entry laid out as a backup file (so `restore` takes
// one):
//   {"format": "vardel-journal", "formatVersion": 1, "entries": [
//   {...oldest...},
//   {...newest...}
//   ]}
// Each entry names the drive by its serial and the place it was changed at: the letter the write
// went to and the SCSI address discovery found the drive at ("device", null where the system told
// none), which tells apart two drives that carry one serial.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/scsi_commands.h"
#include "drive/physical_device.h"

namespace vardel::frontend {

constexpr char kJournalFileFormat[] = "vardel-journal";
constexpr int kJournalFileFormatVersion = 1;

struct JournalEntry {
    std::string time;  // UTC, 2026-12-11T01:23:45Z
    // Counts the changes of its file from 1, so that two of one second stay apart; 0 in entries
    // written before the journal numbered them.
    std::uint32_t number = 0;
    std::string command;  // set, write, restore, undo
    std::string tool;
    std::string serial;  // the whole serial as people read it; empty without
    char target = 0;
    // Where the drive sat: its address (addressKnown false in entries that name none) and the
    // key of `identity`.
    PhysicalDevice device = {};
    alignas(kVendorBlockAlignment) VendorBlock identity = {};
    alignas(kVendorBlockAlignment) VendorBlock asRead = {};   // the block the change replaced
    alignas(kVendorBlockAlignment) VendorBlock written = {};  // the block the change sent
    DeviceKey key = {};                                       // from `identity`
};

// The entries of a journal file's text, oldest first; an empty text holds none. False, with
// `problem` naming the place ("entry 2: configBlock: ...") and what is wrong, for any other text.
bool ParseJournalText(const std::string& text, std::vector<JournalEntry>& entries,
                      std::string& problem);

// The text of a journal file holding `entries`, oldest first.
std::string JournalText(const std::vector<JournalEntry>& entries);

// One entry, one line of JSON without its line break.
std::string JournalEntryLine(const JournalEntry& entry);

// Whether an entry was made at the place `device` names: both addresses known and the same, or
// neither known (then nothing else can tell).
bool MadeAt(const JournalEntry& entry, const PhysicalDevice& device);

// "4:0:0", or "unknown" for an entry whose place the system did not tell.
std::string AddressText(const PhysicalDevice& device);

}  // namespace vardel::frontend
