#pragma once
// Reading the journal back, for the history and for an undo (the writer is drive_journal.h).

#include <functional>
#include <string>
#include <vector>

#include "device/scsi_commands.h"
#include "drive/physical_device.h"
#include "journal/journal_text.h"
#include "platform/platform.h"

namespace vardel::frontend {

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

// The change an undo of the drive at `here` (with the identity block `identity`) takes, from the
// drive's file in `folder` (named in `file`): the newest entry of the drive's serial made at
// `here` (Found); failing that, the newest made at a place where no attached drive of that serial
// sits now (Moved: the drive was replugged since, or it was another drive of that serial that is
// gone; only a user who says so undoes it). An entry made where another attached drive of the
// serial sits is that drive's, never this one's. `elsewhere` lists the places of the other
// attached drives of the serial; it is asked only when nothing was made at `here`. None (the
// file holds no change to take), or Unreadable with `problem`.
enum class LastChangeResult { Found, Moved, None, Unreadable };
using OtherPlaces = std::function<std::vector<PhysicalDevice>()>;
LastChangeResult FindLastChange(const std::string& folder, const VendorBlock& identity,
                                const PhysicalDevice& here, const OtherPlaces& elsewhere,
                                JournalEntry& change, std::string& file, std::string& problem);

// The places of the attached drives other than the one at `here` that carry the serial of
// `identity`, found by a scan of `platform` when asked (only reads).
OtherPlaces OtherPlacesOf(Platform& platform, const VendorBlock& identity,
                          const PhysicalDevice& here);

// Why an undo does not take a change found Moved, and how the user takes it knowingly: `here` is
// the drive's place now, `letter` its letter.
std::string MovedChangeText(const JournalEntry& change, const PhysicalDevice& here, char letter);

// Where an entry was made, for people: "E: at SCSI address 4:0:0".
std::string PlaceText(const JournalEntry& entry);

// The change an undo showed (its time, number and the block it wrote), from the drive's file in
// `folder` (named in `file`), whichever place it was made at: Found, None (the file no longer
// holds it), or Unreadable with `problem`.
LastChangeResult FindNamedChange(const std::string& folder, const VendorBlock& identity,
                                 const std::string& time, std::uint32_t number,
                                 const VendorBlock& wrote, JournalEntry& change, std::string& file,
                                 std::string& problem);

}  // namespace vardel::frontend
