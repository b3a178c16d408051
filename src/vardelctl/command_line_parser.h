#pragma once
// The parser vardelctl reads its command line with: the global options and the commands, each
// with its own options and help, bound to the fields of Options they fill.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "vardelctl/options.h"

namespace vardel::cli {

// The commands, in the order the help lists them.
extern const std::vector<std::string> kCommandNames;

// The long options that may come before the command, as the parser defines them.
extern const char* const kGlobalOptionNames[8];

// "vardelctl 1.2.3\n", as --version shows it.
extern const char kVersionText[];

// set's LUN as typed ("lun0", "LUN1", "0", "lun 1") as "lun0" or "lun1"; empty for any other.
std::string RowWord(const std::string& typed);
// set's type as typed ("fixed", "Removable", "Fixed Disk", any case) as "removable" or "fixed";
// empty for any other.
std::string TypeWord(const std::string& typed);
// The complaints of set's words, as the parser gives them ("lun: \"lun2\" is not lun0 or lun1").
std::string RowWordProblem(const std::string& typed);
std::string TypeWordProblem(const std::string& typed);

// The main help, as the parser would show it, made without the parser: a parser costs more to
// build than a status's device work.
std::string MainHelpText();

// What the parser holds of each command: all of it, or only its name and summary, which is all the
// main help shows.
enum class CommandParts { Whole, Summary };

// Whether the parser holds what only a help or --version shows: the short options (-j, -d, -n)
// beside the long ones, the help's layout and footer, the --version flag. Every part costs each
// run time to set up, so a line is parsed with its short options spelt out as the long ones
// (SpellOutShortOptions), and only a line that may show a help or the version holds them.
enum class ShortNames { Held, SpeltOut };

// "-j" as "--json", "-d" as "--device", "-dE" as "--device=E", "-n" as "--dry-run", "-jn" as both,
// "-jd" as "--json --device"; the words after "--" stay as they are. `typed`, when given, gets
// what the user typed for each word of the result ("-n" for the "--dry-run" of "-jn"), so that
// an error names the word as typed.
void SpellOutShortOptions(std::vector<std::string>& args,
                          std::vector<std::string>* typed = nullptr);

struct CommandLineParser {
    // `only`: the one command to build, of kCommandNames; empty: every command. Building the
    // commands costs more than a status's device work, so a line that names one builds only that.
    CommandLineParser(Options& options, const std::string& only,
                      CommandParts parts = CommandParts::Whole,
                      ShortNames shortNamesHeld = ShortNames::Held);

    // "-n,--dry-run", or "--dry-run" where the short options are spelt out.
    std::string Names(const char* shortName, const char* longName) const;

    CLI::App app;
    const bool shortNames;
    CLI::Option* emulate = nullptr;
    // set's words, as typed
    std::string row;
    std::string type;
};

}  // namespace vardel::cli
