// vardelctl: the Vardel commands on a console, over the machine's drives or an emulated machine.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "files/standard_output.h"
#include "vardelctl/options.h"
#include "vardelctl/report.h"
#include "vardelctl/tool.h"
#include "vardelctl/tool_lines.h"

namespace {

// Even a failure nobody foresaw answers with one JSON object when JSON was asked for; on text, the
// system's message stands alone and what went wrong follows as the tool's own line.
int ReportUnforeseen(int argc, char** argv, const std::string& what) {
    using namespace vardel::cli;
    Options options;
    for (int i = 1; i < argc; ++i) options.json |= std::strcmp(argv[i], "--json") == 0;
    if (options.json) {
        return ReportProblem(options, kExitUnknownError,
                             what.empty() ? "Unknown error" : "Unknown error: " + what, std::cout,
                             std::cerr);
    }
    std::cerr << "Unknown error\n";
    SayLines(std::cerr, what);
    return kExitUnknownError;
}

// The run's output ends here: a report that did not reach standard output is a failure. A run
// that failed on its own keeps its code; one that did what was asked ends as for a file not
// written, and says so on stderr, in JSON mode too (its one object is what was lost).
int EndOutput(int exitCode, bool alreadySaid) {
    using namespace vardel::cli;
    const std::string why = vardel::frontend::FinishStandardOutput();
    if (why.empty()) return exitCode;
    if (!alreadySaid) {
        SayLines(std::cerr, "standard output could not be written (" + why +
                                "): the report is not whole; `vardelctl status` shows what the "
                                "drive holds");
    }
    return exitCode == kExitSuccess ? kExitFileNotWritten : exitCode;
}

int Run(int argc, char** argv, bool& backupToStandardOutput) {
    using namespace vardel::cli;
    // The libraries behind the arguments and the files throw; nothing of theirs passes this point.
    try {
        Options options;
        const ParseResult parsed = ParseOptions(argc, argv, options);
        if (parsed.end != ParseEnd::Go) return ReportParseEnd(parsed, std::cout, std::cerr);
        // Its one output is the backup, whose writing the run checks and reports itself.
        backupToStandardOutput =
            options.verb == Verb::Backup && options.file == "-" && !options.json && !options.all;
        return RunTool(options, std::cin, std::cout, std::cerr);
    } catch (const std::exception& error) {
        return ReportUnforeseen(argc, argv, error.what());
    } catch (...) {
        return ReportUnforeseen(argc, argv, "");
    }
}

}  // namespace

int main(int argc, char** argv) {
    vardel::frontend::GuardStandardStreams();
    bool backupToStandardOutput = false;
    const int exitCode = Run(argc, argv, backupToStandardOutput);
    return EndOutput(exitCode, backupToStandardOutput);
}
