// A minimal SG_IO loop that sends the drive's commands to its sg nodes and prints what came back,
// each command on a node opened for it alone: INQUIRY (6 bytes announced as 12, 44 bytes in) to
// every node, the identity read (06 05, six zero tag bytes, 0x80 at byte 8, 528 bytes in) to every
// node, then the configuration read ("INFO" tag) and, with --write, the vendor write (06 06 01,
// 512 bytes out) of the block as read, and a read-back, on the last node. --sequence gives the
// commands one by one instead ("inquiry:0 identity:1 address:1 config:1", the number indexing
// the nodes), so that any program's exact sequence can be sent; "address" sends no command to the
// drive: it opens the node, asks the kernel where its device sits (SG_GET_SCSI_ID) and closes it,
// as a program that tells drives apart by their place does. With --repeat N the sequence runs N times,
// printing only the last round: the floor of what any program needs to talk to the same disks.
//
//   sg_floor [--write | --sequence LIST] [--repeat N] /dev/sgX [/dev/sgY ...]

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "kernel/sg_command.h"

namespace vardel::kernel {
namespace {

constexpr std::size_t kInquiryLength = 44;
constexpr std::size_t kBlockSize = 528;
constexpr std::size_t kWriteLength = 512;
constexpr std::uint8_t kAnnouncedLength = 12;
constexpr std::uint8_t kUntouched = 0xEE;  // fills data-in buffers, to see what the call wrote

struct Round {
    bool print = false;
    int failures = 0;
};

void Report(Round& round, const std::string& path, const char* what, const SgResult& result,
            const std::string& detail) {
    if (result.error != 0 || result.status != 0) ++round.failures;
    if (!round.print) return;
    std::printf("%s %s %s%s\n", path.c_str(), what, Describe(result).c_str(), detail.c_str());
}

std::size_t CountUntouched(const std::uint8_t* data, std::size_t size) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < size; ++i) count += data[i] == kUntouched ? 1 : 0;
    return count;
}

std::string Text(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
    }
    return text;
}

void Inquiry(Round& round, const std::string& path) {
    std::uint8_t cdb[kAnnouncedLength] = {0x12, 0, 0, 0, kInquiryLength, 0};
    std::uint8_t data[kInquiryLength];
    std::memset(data, kUntouched, sizeof data);
    const SgResult result = SendCommand(path, cdb, sizeof cdb, Direction::In, data, sizeof data);
    Report(round, path, "INQUIRY", result,
           " revision=\"" + Text(data + 32, 4) + "\" signature=\"" + Text(data + 36, 8) + "\"");
}

SgResult VendorRead(const std::string& path, const std::uint8_t (&tag)[6],
                    std::uint8_t (&block)[kBlockSize]) {
    std::uint8_t cdb[kAnnouncedLength] = {0x06, 0x05};
    std::memcpy(cdb + 2, tag, sizeof tag);
    cdb[8] = 0x80;
    std::memset(block, kUntouched, sizeof block);
    return SendCommand(path, cdb, sizeof cdb, Direction::In, block, sizeof block);
}

std::string BlockDetail(const std::uint8_t (&block)[kBlockSize], const char* format,
                        std::size_t first, std::size_t second) {
    char text[120];
    std::snprintf(text, sizeof text, format, block[first], block[second],
                  CountUntouched(block, sizeof block));
    return text;
}

// The node's SCSI address, on a node opened for it alone.
void Address(Round& round, const std::string& path) {
    struct sg_scsi_id id {};
    int error = 0;
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
    } else {
        if (ioctl(fd, SG_GET_SCSI_ID, &id) != 0) error = errno;
        close(fd);
    }
    if (error != 0) ++round.failures;
    if (!round.print) return;
    if (error != 0) {
        std::printf("%s ADDRESS error=%s\n", path.c_str(), std::strerror(error));
    } else {
        std::printf("%s ADDRESS %d:%d:%d:%d\n", path.c_str(), id.host_no, id.channel, id.scsi_id,
                    id.lun);
    }
}

enum class Step { Inquiry, Identity, Address, Config, WriteBack };

struct Command {
    Step step;
    std::size_t node;  // index into the nodes given
};

// What a round sends without --sequence: INQUIRY and the identity read to every node, the
// configuration read (and, with --write, the write-back) on the last.
std::vector<Command> DefaultSequence(std::size_t nodeCount, bool write) {
    std::vector<Command> sequence;
    for (std::size_t i = 0; i < nodeCount; ++i) sequence.push_back({Step::Inquiry, i});
    for (std::size_t i = 0; i < nodeCount; ++i) sequence.push_back({Step::Identity, i});
    sequence.push_back({Step::Config, nodeCount - 1});
    if (write) sequence.push_back({Step::WriteBack, nodeCount - 1});
    return sequence;
}

// "inquiry:0 identity:1 config:1 ...": one command per word, the number indexing the nodes.
bool ParseSequence(const std::string& text, std::size_t nodeCount, std::vector<Command>& sequence) {
    const std::pair<const char*, Step> names[] = {{"inquiry", Step::Inquiry},
                                                  {"identity", Step::Identity},
                                                  {"address", Step::Address},
                                                  {"config", Step::Config}};
    std::size_t at = 0;
    while ((at = text.find_first_not_of(' ', at)) != std::string::npos) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end;
        const std::size_t colon = word.find(':');
        if (colon == std::string::npos || colon + 1 == word.size()) return false;
        char* rest = nullptr;
        const unsigned long node = std::strtoul(word.c_str() + colon + 1, &rest, 10);
        if (*rest != 0 || node >= nodeCount) return false;
        bool known = false;
        for (const auto& [name, step] : names) {
            if (word.compare(0, colon, name) == 0) {
                sequence.push_back({step, node});
                known = true;
            }
        }
        if (!known) return false;
    }
    return !sequence.empty();
}

void RunRound(Round& round, const std::vector<std::string>& nodes,
              const std::vector<Command>& sequence) {
    constexpr std::uint8_t kIdentityTag[6] = {0, 0, 0, 0, 0, 0};
    constexpr std::uint8_t kInfoTag[6] = {'I', 'N', 'F', 'O', 0, 0};
    std::uint8_t block[kBlockSize];
    bool configRead = false;  // the block holds a configuration block read whole
    for (const Command& command : sequence) {
        const std::string& node = nodes[command.node];
        switch (command.step) {
            case Step::Inquiry:
                Inquiry(round, node);
                break;
            case Step::Identity: {
                const SgResult result = VendorRead(node, kIdentityTag, block);
                configRead = false;
                Report(round, node, "READ ID", result,
                       BlockDetail(block, " lun=%u flag382=%02x untouched=%zu", 385, 382));
                break;
            }
            case Step::Address:
                Address(round, node);
                break;
            case Step::Config: {
                const SgResult result = VendorRead(node, kInfoTag, block);
                configRead = result.error == 0 && result.status == 0;
                Report(round, node, "READ INFO", result,
                       BlockDetail(block, " byte304=%02x byte305=%02x untouched=%zu", 304, 305));
                break;
            }
            case Step::WriteBack: {
                // Only a block read from the drive just before goes back to it.
                if (!configRead) return;
                const std::uint8_t cdb[kAnnouncedLength] = {0x06, 0x06, 0x01};
                std::uint8_t written[kBlockSize];
                std::memcpy(written, block, sizeof block);
                SgResult result =
                    SendCommand(node, cdb, sizeof cdb, Direction::Out, written, kWriteLength);
                Report(round, node, "WRITE", result, "");
                result = VendorRead(node, kInfoTag, block);
                const bool same = std::memcmp(block, written, kWriteLength) == 0;
                Report(round, node, "READ INFO", result, same ? " same-as-written" : " DIFFERS");
                if (!same) ++round.failures;
                configRead = false;
                break;
            }
        }
    }
}

}  // namespace
}  // namespace vardel::kernel

int main(int argc, char** argv) {
    using namespace vardel::kernel;
    bool write = false;
    long repeat = 1;
    const char* sequenceText = nullptr;
    std::vector<std::string> nodes;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--write") {
            write = true;
        } else if (argument == "--repeat" && i + 1 < argc) {
            repeat = std::strtol(argv[++i], nullptr, 10);
        } else if (argument == "--sequence" && i + 1 < argc) {
            sequenceText = argv[++i];
        } else {
            nodes.push_back(argument);
        }
    }
    std::vector<Command> sequence;
    bool usable = !nodes.empty() && repeat >= 1;
    if (usable && sequenceText == nullptr) {
        sequence = DefaultSequence(nodes.size(), write);
    } else if (usable) {
        usable = !write && ParseSequence(sequenceText, nodes.size(), sequence);
    }
    if (!usable) {
        std::fprintf(stderr,
                     "usage: sg_floor [--write | --sequence \"inquiry:0 identity:1 address:1 "
                     "config:1 ...\"]"
                     " [--repeat N] /dev/sgX [/dev/sgY ...]\n");
        return 64;
    }
    Round round;
    for (long i = 0; i < repeat; ++i) {
        round = Round{};
        round.print = i == repeat - 1;
        RunRound(round, nodes, sequence);
    }
    return round.failures == 0 ? 0 : 1;
}
