#include "files/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace vardel::frontend {

void GuardStandardStreams() {
#ifndef _WIN32
    // In order: a closed 0 is filled first, so that each open lands on the number it fills.
    for (int descriptor = STDIN_FILENO; descriptor <= STDERR_FILENO; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
        // Read-only: a write to it fails (EBADF), as the write to the closed stream would have.
        const int held = open("/dev/null", O_RDONLY);
        if (held >= 0 && held != descriptor) {
            dup2(held, descriptor);
            close(held);
        }
    }
    signal(SIGPIPE, SIG_IGN);
#endif
}

std::string FinishStandardOutput() {
    errno = 0;
    std::cout.flush();
    int error = errno;
    const bool streamFailed = !std::cout;
    if (std::fflush(stdout) != 0 && errno != 0) error = errno;
    if (!streamFailed && std::ferror(stdout) == 0) return "";
    return error != 0 ? std::strerror(error) : "a write failed";
}

}  // namespace vardel::frontend
