// vardelctl: the Vardel commands on a console, over the machine's drives or an emulated machine.

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

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

}  // namespace

int main(int argc, char** argv) {
    using namespace vardel::cli;
    // The libraries behind the arguments and the files throw; nothing of theirs passes this point.
    try {
        Options options;
        const int parsed = ParseOptions(argc, argv, options, std::cout, std::cerr);
        if (parsed >= 0) return parsed;
        return RunTool(options, std::cin, std::cout, std::cerr);
    } catch (const std::exception& error) {
        return ReportUnforeseen(argc, argv, error.what());
    } catch (...) {
        return ReportUnforeseen(argc, argv, "");
    }
}
