// Holds an advisory exclusive lock (flock) on a node, as a Vardel program holds a drive while it
// changes it, for the guest's jobs to make a run find the drive busy: prints "held" once the lock
// is taken, keeps it for the seconds given, then ends. Exit 0 when the lock was held.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_lock NODE SECONDS\n");
        return 2;
    }
    const int descriptor = open(argv[1], O_RDONLY | O_NONBLOCK);
    if (descriptor < 0) {
        std::fprintf(stderr, "hold_lock: %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    if (flock(descriptor, LOCK_EX) != 0) {
        std::fprintf(stderr, "hold_lock: flock %s: %s\n", argv[1], std::strerror(errno));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    sleep(static_cast<unsigned>(std::atoi(argv[2])));
    close(descriptor);
    return 0;
}
