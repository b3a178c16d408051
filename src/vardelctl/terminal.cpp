#include "vardelctl/terminal.h"

#ifdef _WIN32
#include <io.h>
#include <stdio.h>
#else
#include <unistd.h>
#endif

namespace vardel::cli {

bool IsInteractive() {
#ifdef _WIN32
    return _isatty(_fileno(stdin)) != 0 && _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDIN_FILENO) != 0 && isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace vardel::cli
