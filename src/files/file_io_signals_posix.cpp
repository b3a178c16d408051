// The one place where the file layer keeps state outside its objects: a signal handler can reach
// nothing else. It holds the path of the temporary that a write has made and not yet renamed or
// removed, and the actions SIGINT and SIGTERM had before, so that the handler can remove the
// temporary and then end the process as the signal would have. See InterruptWatch.

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "files/file_io_system.h"

namespace vardel::frontend::file_system {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr int kSignalCount = 2;

// Taken by the one write that is watched. Lock-free, so that the handler may read it.
std::atomic<bool> slotTaken{false};
std::atomic<bool> armed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");
char temporaryPath[PATH_MAX];
struct sigaction previous[kSignalCount];
bool installed[kSignalCount];

int IndexOf(int signal) {
    return signal == SIGINT ? 0 : 1;
}

extern "C" void RemoveTemporaryThenEnd(int signal) {
    const int savedErrno = errno;
    if (armed.load()) unlink(temporaryPath);
    // The action from before (by default: the end of the process), taken once this handler
    // returns and the signal is no longer blocked.
    sigaction(signal, &previous[IndexOf(signal)], nullptr);
    raise(signal);
    errno = savedErrno;
}

sigset_t SignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals) sigaddset(&set, signal);
    return set;
}

}  // namespace

InterruptWatch::InterruptWatch() {
    const sigset_t set = SignalSet();
    sigset_t before;
    if (pthread_sigmask(SIG_BLOCK, &set, &before) != 0) return;
    // Only what was not held already is let through later.
    for (int i = 0; i < kSignalCount; ++i) {
        if (sigismember(&before, kSignals[i]) == 0) held_ |= 1u << i;
    }
}

void InterruptWatch::Watch(const std::string& temporary) {
    bool free = false;
    if (temporary.size() < sizeof temporaryPath && slotTaken.compare_exchange_strong(free, true)) {
        std::memcpy(temporaryPath, temporary.c_str(), temporary.size() + 1);
        armed.store(true);
        watching_ = true;
        for (int i = 0; i < kSignalCount; ++i) {
            installed[i] = false;
            if (sigaction(kSignals[i], nullptr, &previous[i]) != 0) continue;
            // An ignored signal ends nothing: it stays ignored.
            if (previous[i].sa_handler == SIG_IGN && (previous[i].sa_flags & SA_SIGINFO) == 0) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = RemoveTemporaryThenEnd;
            sigfillset(&action.sa_mask);
            installed[i] = sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
    LetThrough();
}

InterruptWatch::~InterruptWatch() {
    if (watching_) {
        // Held back while the handlers go, so that none finds half of them changed.
        const sigset_t set = SignalSet();
        sigset_t before;
        pthread_sigmask(SIG_BLOCK, &set, &before);
        for (int i = 0; i < kSignalCount; ++i) {
            if (installed[i]) sigaction(kSignals[i], &previous[i], nullptr);
        }
        armed.store(false);
        slotTaken.store(false);
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    LetThrough();
}

void InterruptWatch::LetThrough() {
    if (held_ == 0) return;
    sigset_t set;
    sigemptyset(&set);
    for (int i = 0; i < kSignalCount; ++i) {
        if ((held_ & (1u << i)) != 0) sigaddset(&set, kSignals[i]);
    }
    held_ = 0;
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace vardel::frontend::file_system
