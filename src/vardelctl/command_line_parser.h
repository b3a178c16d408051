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

// "vardelctl 1.2.3\n", as --version shows it.
extern const char kVersionText[];

// What the parser holds of each command: all of it, or only its name and summary, which is all the
// main help shows.
enum class CommandParts { Whole, Summary };

struct CommandLineParser {
    // `only`: the one command to build, of kCommandNames; empty: every command. Building the
    // commands costs more than a status's device work, so a line that names one builds only that.
    CommandLineParser(Options& options, const std::string& only,
                      CommandParts parts = CommandParts::Whole);

    CLI::App app;
    CLI::Option* emulate = nullptr;
    // set's words, as typed
    std::string row;
    std::string type;
};

}  // namespace vardel::cli
