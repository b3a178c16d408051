// The handler's shell: opens each uio device of the drive's backstores, maps its whole region,
// and serves the commands the kernel puts in the ring until SIGTERM or SIGINT. Everything it
// decides is in command_ring (where things are), kept_cdb (what the loopback path changed) and
// scsi_drive (what to answer).

#include "tcmu/tcmu_abi.h"  // first: see the note on struct iovec there

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "scsi_drive/command_log.h"
#include "scsi_drive/drive_answers.h"
#include "tcmu/command_ring.h"
#include "tcmu/handler_options.h"
#include "tcmu/kept_cdb.h"

namespace vardel::tcmu {
namespace {

struct UioDevice {
    std::string name;
    std::uint8_t lunIndex = 0;
    int fd = -1;
    SharedRegion region;
    RingGeometry ring;
};

struct Handler {
    HandlerOptions options;
    std::vector<UioDevice> devices;
    int logFd = -1;
};

// Reports a failed system call with errno; false, for the callers that stop there.
bool Fail(const std::string& what) {
    std::fprintf(stderr, "vardel_tcmu_handler: %s: %s\n", what.c_str(), std::strerror(errno));
    return false;
}

constexpr int kExitFailure = 1;

int BadRing(const UioDevice& device, int error) {
    std::fprintf(stderr, "vardel_tcmu_handler: %s: bad ring (code %d)\n", device.name.c_str(),
                 error);
    return kExitFailure;
}

// The kernel publishes the size of the region to map (mailbox, ring and data area) in sysfs.
bool MapSize(const std::string& name, std::size_t& size) {
    std::ifstream file("/sys/class/uio/" + name + "/maps/map0/size");
    std::string text;
    if (!(file >> text)) return false;
    char* end = nullptr;
    size = static_cast<std::size_t>(std::strtoull(text.c_str(), &end, 0));
    return *end == '\0' && size > 0;
}

bool OpenDevice(UioDevice& device) {
    std::size_t size = 0;
    if (!MapSize(device.name, size)) return Fail(device.name + ": no map size in sysfs");
    device.fd = open(("/dev/" + device.name).c_str(), O_RDWR | O_CLOEXEC);
    if (device.fd < 0) return Fail("/dev/" + device.name);
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, device.fd, 0);
    if (base == MAP_FAILED) return Fail(device.name + ": mmap");
    device.region.base = static_cast<std::uint8_t*>(base);
    device.region.size = size;
    if (const int error = ReadGeometry(device.region, device.ring)) {
        std::fprintf(stderr, "vardel_tcmu_handler: %s: bad mailbox (%d)\n", device.name.c_str(),
                     error);
        return false;
    }
    return true;
}

void Log(const Handler& handler, const std::string& line) {
    if (handler.logFd < 0) return;
    const std::string text = line + "\n";
    // One write per line: O_APPEND keeps the lines of several handlers whole.
    if (write(handler.logFd, text.data(), text.size()) < 0) Fail("log");
}

int ServeCommand(Handler& handler, const UioDevice& device, const RingEntry& entry) {
    using scsi_drive::DataDirection;
    CommandView command;
    if (const int error = ReadCommand(device.region, device.ring, entry, command)) return error;
    const DataDirection direction = DirectionOf(command.cdb, command.cdbLength);
    std::vector<std::uint8_t> data(command.dataLength, 0);
    if (direction == DataDirection::FromInitiator) {
        if (const int error =
                GatherData(device.region, device.ring, entry, data.data(), data.size())) {
            return error;
        }
    }
    scsi_drive::DriveOptions& drive = handler.options.drive;
    const emulated::Block before = drive.model.configBlock;
    const RestoredCdb cdb = RestoreCdb(command.cdb, command.cdbLength, device.lunIndex);
    const scsi_drive::ScsiAnswer answer =
        scsi_drive::AnswerCommand(drive.model, device.lunIndex, drive.behaviour, cdb.bytes,
                                  cdb.length, direction, data.data(), data.size());
    // The log keeps the CDB as it arrived.
    Log(handler, scsi_drive::FormatCommandLine(drive.name, device.lunIndex, command.cdb,
                                               command.cdbLength, command.dataLength, direction,
                                               answer, before, drive.model.configBlock));

    Completion completion;
    completion.status = answer.status;
    completion.sense = answer.sense;
    completion.senseLength = answer.senseLength;
    completion.dataLength = command.dataLength;
    completion.returned = command.dataLength;
    if (direction == DataDirection::ToInitiator && answer.status == 0) {
        completion.returned = answer.moved;
        if (const int error =
                ScatterData(device.region, device.ring, entry, data.data(), answer.moved)) {
            return error;
        }
    }
    return CompleteCommand(device.region, device.ring, entry, completion);
}

// Serves every entry between the tail and the head, then tells the kernel by writing to the uio
// device, which makes it collect the completions.
int ServeRing(Handler& handler, UioDevice& device) {
    int served = 0;
    const int error = ServePending(
        device.region, device.ring,
        [&](const RingEntry& entry) { return ServeCommand(handler, device, entry); }, served);
    const std::uint32_t kick = 0;
    if (served > 0 && write(device.fd, &kick, sizeof kick) != sizeof kick) {
        Fail(device.name + ": completion notice");
    }
    return error;
}

int Run(Handler& handler) {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signalFd < 0) {
        Fail("signalfd");
        return kExitFailure;
    }

    std::vector<pollfd> polls;
    for (UioDevice& device : handler.devices) {
        // Commands may be waiting from before the handler started.
        if (const int error = ServeRing(handler, device)) return BadRing(device, error);
        polls.push_back({device.fd, POLLIN, 0});
    }
    polls.push_back({signalFd, POLLIN, 0});
    for (;;) {
        if (poll(polls.data(), polls.size(), -1) < 0) {
            if (errno == EINTR) continue;
            Fail("poll");
            return kExitFailure;
        }
        if (polls.back().revents != 0) return 0;
        for (std::size_t i = 0; i < handler.devices.size(); ++i) {
            if (polls[i].revents == 0) continue;
            std::uint32_t events = 0;
            if (read(polls[i].fd, &events, sizeof events) != sizeof events) {
                Fail(handler.devices[i].name + ": read");
                return kExitFailure;
            }
            if (const int error = ServeRing(handler, handler.devices[i])) {
                return BadRing(handler.devices[i], error);
            }
        }
    }
}

}  // namespace
}  // namespace vardel::tcmu

int main(int argc, char** argv) {
    using namespace vardel::tcmu;
    Handler handler;
    std::string error;
    if (const int usage = ParseHandlerOptions(argc, argv, handler.options, error)) {
        std::fprintf(stderr, "vardel_tcmu_handler: %s\n", error.c_str());
        return usage;
    }
    const std::string& logPath = handler.options.drive.logPath;
    if (!logPath.empty()) {
        handler.logFd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (handler.logFd < 0) {
            Fail(logPath);
            return kExitFailure;
        }
    }
    for (std::size_t i = 0; i < handler.options.uioNames.size(); ++i) {
        UioDevice device;
        device.name = handler.options.uioNames[i];
        device.lunIndex = static_cast<std::uint8_t>(i);
        if (!OpenDevice(device)) return kExitFailure;
        handler.devices.push_back(device);
    }
    return Run(handler);
}
