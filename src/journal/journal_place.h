#pragma once
// Where the journal of changes lives: in the user's own state folder, one file per drive, the
// emulated machines' drives in a subfolder of their own so that they never mix with real ones.

#include <string>

namespace vardel::frontend {

// An environment variable's value; null when it is not set. A plain function (std::getenv, or a
// test's table): the Windows dialog links this, and keeps small.
using EnvironmentLookup = const char* (*)(const char* name);

enum class StateFolderRule {
    Xdg,  // $XDG_STATE_HOME (only when absolute), else $HOME/.local/state; then vardel/journal
    LocalAppData,  // %LOCALAPPDATA% (else %USERPROFILE%\AppData\Local), then Vardel\journal
    // The system service's: the first folder of $STATE_DIRECTORY (which systemd sets from the
    // unit's StateDirectory=) when absolute, else /var/lib/vardel; then journal. Not the user's
    // home: the service serves every user and its journal is the machine's.
    ServiceState,
};

// The journal's folder under `rule`, with "emulated" below it for an emulated machine. Empty, with
// `problem` saying why, when the environment names no place for it. VARDEL_JOURNAL, when set and
// not empty, names the folder on every system, before the system's rule: for a journal kept
// elsewhere, and for tests, which must not write into the user's own (Wine, for one, sets
// LOCALAPPDATA itself whatever its caller's environment says).
std::string JournalFolderFor(StateFolderRule rule, EnvironmentLookup lookup, bool emulated,
                             std::string& problem);

// The same for the running system and its environment.
std::string JournalFolder(bool emulated, std::string& problem);

}  // namespace vardel::frontend
