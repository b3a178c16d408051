// vardelctl: the Vardel commands on a console, over the machine's drives or an emulated machine.

#include <exception>
#include <iostream>

#include "vardelctl/options.h"
#include "vardelctl/tool.h"

int main(int argc, char** argv) {
    using namespace vardel::cli;
    // The libraries behind the arguments and the files throw; nothing of theirs passes this point.
    try {
        Options options;
        const int parsed = ParseOptions(argc, argv, options, std::cout, std::cerr);
        if (parsed >= 0) return parsed;
        return RunTool(options, std::cin, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "Unknown error\n" << error.what() << '\n';
    } catch (...) {
        std::cerr << "Unknown error\n";
    }
    return kExitNoSingleDrive;
}
