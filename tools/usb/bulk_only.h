#pragma once
// Bulk-Only Transport's own framing, as the drive sees it: the 31-byte command block wrapper
// (CBW) the host sends on bulk-out before each command, the 13-byte command status wrapper (CSW)
// the drive sends on bulk-in after the data, how a command's data phase ends, and the two class
// requests that arrive on the control endpoint. Only bytes here; the endpoints belong to the
// program's main loop.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vardel::usb {

constexpr std::size_t kCbwSize = 31;
constexpr std::size_t kCswSize = 13;
constexpr std::size_t kMaxCdbLength = 16;
constexpr std::uint8_t kMaxLunIndex = 1;  // the drive has two LUNs

// ParseCbw's results. A wrapper of another size or signature is no CBW at all: the drive stalls
// both bulk endpoints until the host's reset recovery. A CBW that is valid but not meaningful (a
// LUN the drive lacks, a CDB length out of 1..16, reserved flag bits set) ends in a phase error.
constexpr int kCbwOk = 0;
constexpr int kCbwBadSize = 1;
constexpr int kCbwBadSignature = 2;
constexpr int kCbwBadLun = 3;
constexpr int kCbwBadCdbLength = 4;
constexpr int kCbwBadFlags = 5;

struct Cbw {
    std::uint32_t tag = 0;
    std::uint32_t dataLength = 0;  // what the host expects to move
    bool dataIn = false;           // the data goes to the host (meaningless when dataLength is 0)
    std::uint8_t lun = 0;
    std::uint8_t cdb[kMaxCdbLength] = {};
    std::uint8_t cdbLength = 0;
};

int ParseCbw(const std::uint8_t* bytes, std::size_t size, Cbw& cbw);
// Whether ParseCbw's result leaves a CBW to answer (with a phase error, if not kCbwOk).
bool IsValidCbw(int parseResult);

constexpr std::uint8_t kCswPassed = 0;
constexpr std::uint8_t kCswFailed = 1;
constexpr std::uint8_t kCswPhaseError = 2;

using Csw = std::array<std::uint8_t, kCswSize>;

Csw BuildCsw(std::uint32_t tag, std::uint32_t residue, std::uint8_t status);

// How the drive ends a command once its data phase moved `moved` bytes (sent for data to the
// host, taken for data from it): the CSW's status and residue (what the host expected less what
// moved), and whether a bulk endpoint is halted first. Bulk-in is halted when the drive sent less
// than the host expects: a short packet ends the transfer too, but data that ends on a packet
// boundary, or no data at all, does not. Bulk-out is halted only for data the drive refuses to
// take at all (a phase error).
struct CommandEnd {
    Csw csw{};
    bool haltBulkIn = false;
    bool haltBulkOut = false;
};

// `scsiStatus` 0 passes, any other status fails; a not meaningful CBW ends with kCswPhaseError
// through PhaseError().
CommandEnd EndCommand(const Cbw& cbw, std::uint8_t scsiStatus, std::size_t moved);
CommandEnd PhaseError(const Cbw& cbw);

// The class requests of the control endpoint: GET MAX LUN (answered with kMaxLunIndex) and the
// Bulk-Only Mass Storage Reset (acknowledged; the command loop then waits for a new CBW). Every
// other request, or one whose fields are wrong, is stalled.
struct ControlRequest {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

enum class ControlAction { Reply, Acknowledge, Stall };

struct ControlAnswer {
    ControlAction action = ControlAction::Stall;
    std::uint8_t reply[1] = {};
    std::size_t replyLength = 0;
    bool resetsTransport = false;
};

ControlAnswer AnswerControlRequest(const ControlRequest& request, std::uint8_t interfaceNumber);

}  // namespace vardel::usb
