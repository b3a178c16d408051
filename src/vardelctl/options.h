#pragma once
// What the command line asks for.

#include <cstdint>
#include <string>

#include "drive/lun_type.h"
#include "vardelctl/exit_codes.h"

namespace vardel::cli {

enum class Verb { Status, Set, Write, List, Backup, Restore, History, Undo };

struct Options {
    Verb verb = Verb::Status;
    bool json = false;
    bool yes = false;
    bool emulate = false;
    std::string scenarioFile;  // with --emulate; empty: the built-in machine
    bool deviceGiven = false;
    std::string device;   // --device SERIAL, LETTER or NODE
    bool all = false;     // status, set, write, backup: on every attached drive, one by one
    bool dryRun = false;  // set, write, restore: read, show what would be written, write nothing
    // set
    LunRow row = LunRow::Lun0;
    std::uint8_t type = 0;
    // write: the rows' texts as the window would hold them; empty when not given
    std::string lun0Text;
    std::string lun1Text;
    // backup, restore
    std::string file;            // backup: "-" is standard output; with --all, the folder
    bool force = false;          // backup: replace an existing file
    bool allowNoSerial = false;  // restore: onto a drive without serial, from a backup without
    bool replugged = false;      // undo: a change made where the drive sat before a replug
    // set, write, restore, undo: change the drive without a journal entry first
    bool noJournal = false;
    // Reach the drives directly, or through the drive service; neither: the service without
    // root on Linux, directly otherwise.
    bool direct = false;
    bool service = false;
};

// How the parse ended: go on with the options, or show a text and end.
enum class ParseEnd { Go, Version, Help, Usage };

struct ParseResult {
    ParseEnd end = ParseEnd::Go;
    bool json = false;    // --json was among the arguments, wherever the parse stopped
    std::string text;     // Version, Help: the text as shown; Usage: what is wrong
    std::string tryHelp;  // Usage: the command that tells more ("vardelctl set --help")
};

// Parses the arguments into `options`; reports nothing.
ParseResult ParseOptions(int argc, char** argv, Options& options);

}  // namespace vardel::cli
