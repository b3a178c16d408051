#include "journal/journal_place.h"

#include <cstdlib>

namespace vardel::frontend {
namespace {

std::string Value(EnvironmentLookup lookup, const char* name) {
    const char* value = lookup(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string JournalFolderFor(StateFolderRule rule, EnvironmentLookup lookup, bool emulated,
                             std::string& problem) {
    problem.clear();
    if (std::string chosen = Value(lookup, "VARDEL_JOURNAL"); !chosen.empty()) {
        const bool backslashes =
            chosen.find('\\') != std::string::npos && chosen.find('/') == std::string::npos;
        if (chosen.size() > 1 && (chosen.back() == '/' || chosen.back() == '\\')) {
            chosen.pop_back();
        }
        return chosen + (emulated ? (backslashes ? "\\emulated" : "/emulated") : "");
    }
    if (rule == StateFolderRule::LocalAppData) {
        std::string base = Value(lookup, "LOCALAPPDATA");
        // Where the system keeps the local application data of a profile.
        if (base.empty() && !Value(lookup, "USERPROFILE").empty()) {
            base = Value(lookup, "USERPROFILE") + "\\AppData\\Local";
        }
        if (base.empty()) {
            problem = "neither LOCALAPPDATA nor USERPROFILE names a folder for the journal";
            return "";
        }
        if (base.back() == '\\') base.pop_back();
        return base + "\\Vardel\\journal" + (emulated ? "\\emulated" : "");
    }
    if (rule == StateFolderRule::ServiceState) {
        std::string base = Value(lookup, "STATE_DIRECTORY");
        base = base.substr(0, base.find(':'));
        if (base.empty() || base[0] != '/') base = "/var/lib/vardel";
        if (base.size() > 1 && base.back() == '/') base.pop_back();
        return base + "/journal" + (emulated ? "/emulated" : "");
    }
    // A relative XDG_STATE_HOME is invalid and to be ignored.
    std::string base = Value(lookup, "XDG_STATE_HOME");
    if (base.empty() || base[0] != '/') {
        const std::string home = Value(lookup, "HOME");
        if (home.empty() || home[0] != '/') {
            problem = "neither XDG_STATE_HOME nor HOME names a folder for the journal";
            return "";
        }
        base = home + (home.back() == '/' ? "" : "/") + ".local/state";
    }
    if (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/vardel/journal" + (emulated ? "/emulated" : "");
}

std::string JournalFolder(bool emulated, std::string& problem) {
#ifdef _WIN32
    constexpr StateFolderRule kRule = StateFolderRule::LocalAppData;
#else
    constexpr StateFolderRule kRule = StateFolderRule::Xdg;
#endif
    return JournalFolderFor(
        kRule, [](const char* name) -> const char* { return std::getenv(name); }, emulated,
        problem);
}

}  // namespace vardel::frontend
