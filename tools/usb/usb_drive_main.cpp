// The USB drive program: a drive of ours that the kernel reaches through a real USB stack (in the
// test guest: a configfs gadget on dummy_hcd's UDC, seen by usb-storage on the host side).
//
//   vardel_usb_drive --ffs DIR [drive options, see tools/scsi_drive/drive_options.h]
//
//   --ffs DIR   where the gadget's FunctionFS instance is mounted
//
// It writes the function's descriptors to DIR/ep0, opens the bulk endpoints and then serves two
// things until SIGTERM or SIGINT: ep0's events on the main thread (ep0 must be read all along,
// and the class requests arrive there), and the Bulk-Only command loop on a second thread, since
// the endpoint files block and cannot be polled. A Bulk-Only Mass Storage Reset interrupts that
// thread's transfer with SIGUSR1, so that it drops the command and waits for the next CBW. The
// gadget can be bound to a UDC once DIR/ep2 exists. Everything it decides is in bulk_only and
// bot_drive; this file only moves bytes.

#include <endian.h>
#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "usb/bot_drive.h"
#include "usb/bulk_only.h"
#include "usb/ffs_descriptors.h"

namespace vardel::usb {
namespace {

constexpr int kExitFailure = 1;
// Far above any transfer usb-storage makes; a longer one ends in a phase error.
constexpr std::size_t kMaxDataLength = 1 << 20;
// A whole high-speed packet, so that a wrapper longer than a CBW shows as such.
constexpr std::size_t kWrapperRoom = 512;
constexpr auto kRetryPause = std::chrono::milliseconds(10);
constexpr auto kInterruptPause = std::chrono::milliseconds(1);
constexpr int kInterruptTries = 1000;

// The host's resets, from the control thread to the command loop.
struct Resets {
    std::mutex mutex;
    std::condition_variable arrived;
    std::uint64_t requested = 0;
    std::uint64_t handled = 0;
};

struct Program {
    BotDrive drive;
    std::string ffsPath;
    int control = -1;
    int bulkIn = -1;
    int bulkOut = -1;
    int logFd = -1;
    Resets resets;
};

bool Fail(const std::string& what) {
    std::fprintf(stderr, "vardel_usb_drive: %s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

void Log(const Program& program, const std::string& line) {
    if (program.logFd < 0) return;
    const std::string text = line + "\n";
    // One write per line: O_APPEND keeps the lines of several drive programs whole.
    if (write(program.logFd, text.data(), text.size()) < 0) Fail("log");
}

bool ResetPending(Resets& resets) {
    const std::lock_guard<std::mutex> lock(resets.mutex);
    return resets.requested != resets.handled;
}

void TakeResets(Resets& resets) {
    const std::lock_guard<std::mutex> lock(resets.mutex);
    resets.handled = resets.requested;
}

void WaitForReset(Resets& resets) {
    std::unique_lock<std::mutex> lock(resets.mutex);
    resets.arrived.wait(lock, [&] { return resets.requested != resets.handled; });
    resets.handled = resets.requested;
}

enum class Transfer { Done, Reset, Failed };

// One transfer through a bulk endpoint file: `io()` is the read or write. FunctionFS queues one
// request per call, which ends when all its bytes went or the host ended data-out with a short
// packet, so `moved` may be short for a read. A signal without a reset behind it is retried.
template <typename Io>
Transfer Move(Program& program, Io io, std::size_t& moved) {
    for (;;) {
        const ssize_t done = io();
        if (done >= 0) {
            moved = static_cast<std::size_t>(done);
            return Transfer::Done;
        }
        // Anything else: the function was disabled (the host reset the port or went away);
        // the endpoint waits for the next enable on the following transfer.
        if (errno != EINTR) return Transfer::Failed;
        if (ResetPending(program.resets)) return Transfer::Reset;
    }
}

Transfer Receive(Program& program, std::uint8_t* bytes, std::size_t size, std::size_t& moved) {
    const int fd = program.bulkOut;
    return Move(
        program, [&] { return read(fd, bytes, size); }, moved);
}

Transfer Send(Program& program, const std::uint8_t* bytes, std::size_t size) {
    const int fd = program.bulkIn;
    std::size_t moved = 0;
    return Move(
        program, [&] { return write(fd, bytes, size); }, moved);
}

// FunctionFS halts an endpoint when its file is used against its direction. After a short
// packet dummy_hcd may refuse to halt bulk-in (EAGAIN); the short packet has ended the data
// phase then, so the refusal is harmless.
void HaltBulkIn(const Program& program) {
    std::uint8_t byte = 0;
    if (read(program.bulkIn, &byte, 1) < 0 && errno != EBADMSG && errno != EAGAIN) {
        Fail("halting bulk-in");
    }
}

void HaltBulkOut(const Program& program) {
    const std::uint8_t byte = 0;
    if (write(program.bulkOut, &byte, 1) < 0 && errno != EBADMSG) Fail("halting bulk-out");
}

void Finish(Program& program, const CommandEnd& end) {
    if (end.haltBulkIn) HaltBulkIn(program);
    if (end.haltBulkOut) HaltBulkOut(program);
    Send(program, end.csw.data(), end.csw.size());
}

void ServeCbw(Program& program, const Cbw& cbw, std::vector<std::uint8_t>& data) {
    if (cbw.dataLength > kMaxDataLength) return Finish(program, PhaseError(cbw));
    data.assign(cbw.dataLength, 0);
    std::size_t received = 0;
    if (!cbw.dataIn && cbw.dataLength > 0 &&
        Receive(program, data.data(), data.size(), received) != Transfer::Done) {
        return;
    }
    const ServedCommand served = ServeCommand(program.drive, cbw, data.data());
    Log(program, served.logLine);
    std::size_t moved = served.answer.moved;
    if (cbw.dataIn && moved > 0) {
        if (Send(program, data.data(), moved) != Transfer::Done) return;
    } else if (!cbw.dataIn) {
        moved = std::min(moved, received);
    }
    Finish(program, EndCommand(cbw, served.answer.status, moved));
}

void CommandLoop(Program& program) {
    std::vector<std::uint8_t> data;
    for (;;) {
        TakeResets(program.resets);  // a reset between commands asks for nothing more
        std::uint8_t wrapper[kWrapperRoom];
        const ssize_t got = read(program.bulkOut, wrapper, sizeof wrapper);
        if (got < 0) {
            if (errno != EINTR) std::this_thread::sleep_for(kRetryPause);
            continue;
        }
        Cbw cbw;
        const int check = ParseCbw(wrapper, static_cast<std::size_t>(got), cbw);
        if (!IsValidCbw(check)) {
            // No CBW at all: both bulk endpoints stay halted until the host's reset recovery.
            HaltBulkIn(program);
            HaltBulkOut(program);
            WaitForReset(program.resets);
        } else if (check != kCbwOk) {
            Finish(program, PhaseError(cbw));
        } else {
            ServeCbw(program, cbw, data);
        }
    }
}

// Tells the command loop about a reset and interrupts whatever transfer it is blocked in, until
// it has taken the reset (a signal that lands between two calls interrupts nothing).
void Reset(Program& program, pthread_t loop) {
    {
        const std::lock_guard<std::mutex> lock(program.resets.mutex);
        ++program.resets.requested;
    }
    program.resets.arrived.notify_all();
    for (int i = 0; i < kInterruptTries && ResetPending(program.resets); ++i) {
        pthread_kill(loop, SIGUSR1);
        std::this_thread::sleep_for(kInterruptPause);
    }
}

// FunctionFS answers a request's data or status stage through ep0 in the request's direction,
// and stalls it when ep0 is used against that direction.
void AnswerSetup(Program& program, pthread_t loop, const usb_ctrlrequest& setup) {
    ControlRequest request;
    request.requestType = setup.bRequestType;
    request.request = setup.bRequest;
    request.value = le16toh(setup.wValue);
    request.index = le16toh(setup.wIndex);
    request.length = le16toh(setup.wLength);
    const ControlAnswer answer = AnswerControlRequest(request, kInterfaceNumber);
    const bool toHost = (request.requestType & USB_DIR_IN) != 0;
    ssize_t result = 0;
    switch (answer.action) {
        case ControlAction::Reply:
            result = write(program.control, answer.reply, answer.replyLength);
            break;
        case ControlAction::Acknowledge:
            result = read(program.control, nullptr, 0);
            break;
        case ControlAction::Stall:
            result = toHost ? read(program.control, nullptr, 0) : write(program.control, "", 0);
            return;  // the refusal is the answer
    }
    if (result < 0) Fail("ep0 answer");
    if (answer.resetsTransport) Reset(program, loop);
}

int ServeControl(Program& program, pthread_t loop, int signalFd) {
    pollfd polls[2] = {{program.control, POLLIN, 0}, {signalFd, POLLIN, 0}};
    for (;;) {
        if (poll(polls, 2, -1) < 0) {
            if (errno == EINTR) continue;
            Fail("poll");
            return kExitFailure;
        }
        if (polls[1].revents != 0) return 0;
        if (polls[0].revents == 0) continue;
        usb_functionfs_event events[4];
        const ssize_t got = read(program.control, events, sizeof events);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            Fail("ep0 events");
            return kExitFailure;
        }
        // Enable, disable, suspend and the rest need nothing here: the endpoint files wait for
        // the function to be enabled again.
        for (std::size_t i = 0; i < static_cast<std::size_t>(got) / sizeof events[0]; ++i) {
            if (events[i].type == FUNCTIONFS_SETUP) AnswerSetup(program, loop, events[i].u.setup);
        }
    }
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
    return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

bool OpenFunction(Program& program) {
    const std::string ep0 = program.ffsPath + "/ep0";
    program.control = open(ep0.c_str(), O_RDWR | O_CLOEXEC);
    if (program.control < 0) return Fail(ep0);
    if (!WriteAll(program.control, FunctionDescriptors())) return Fail(ep0 + ": descriptors");
    if (!WriteAll(program.control, FunctionStrings())) return Fail(ep0 + ": strings");
    const std::string in = program.ffsPath + "/" + kBulkInFile;
    const std::string out = program.ffsPath + "/" + kBulkOutFile;
    program.bulkIn = open(in.c_str(), O_RDWR | O_CLOEXEC);
    if (program.bulkIn < 0) return Fail(in);
    program.bulkOut = open(out.c_str(), O_RDWR | O_CLOEXEC);
    if (program.bulkOut < 0) return Fail(out);
    return true;
}

void Interrupted(int) {}

int Run(Program& program) {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    // Blocked before the command loop starts, so that only the signalfd sees them.
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        Fail("signalfd");
        return kExitFailure;
    }
    struct sigaction interrupt = {};
    interrupt.sa_handler = Interrupted;  // no SA_RESTART: the blocked transfer returns EINTR
    sigaction(SIGUSR1, &interrupt, nullptr);

    std::thread loop(CommandLoop, std::ref(program));
    const int status = ServeControl(program, loop.native_handle(), signalFd);
    // The loop may be blocked in a transfer; ending the process ends it, and closing ep0
    // disconnects the drive.
    loop.detach();
    return status;
}

}  // namespace
}  // namespace vardel::usb

int main(int argc, char** argv) {
    using namespace vardel::usb;
    namespace scsi_drive = vardel::scsi_drive;
    Program program;
    std::string error;
    scsi_drive::DriveOptions& options = program.drive.options;
    if (const int usage = scsi_drive::ParseDriveOptions(argc, argv, {"--ffs"}, options, error)) {
        std::fprintf(stderr, "vardel_usb_drive: %s\n", error.c_str());
        return usage;
    }
    if (options.transport.size() != 1) {
        std::fprintf(stderr, "vardel_usb_drive: give one --ffs folder\n");
        return scsi_drive::kUsage;
    }
    program.ffsPath = options.transport.front().second;
    if (!options.logPath.empty()) {
        program.logFd =
            open(options.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (program.logFd < 0) {
            Fail(options.logPath);
            return kExitFailure;
        }
    }
    if (!OpenFunction(program)) return kExitFailure;
    return Run(program);
}
