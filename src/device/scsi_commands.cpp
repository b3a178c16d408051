#include "device/scsi_commands.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_request.h"
#include "device/sense_key.h"
#include "device/volume.h"
#include "platform/platform_constants.h"

namespace vardel {
namespace {

constexpr std::uint8_t kInquiryOpcode = 0x12;
constexpr std::uint8_t kVendorOpcode = 0x06;
constexpr std::uint8_t kVendorReadAction = 0x05;
constexpr std::uint8_t kVendorWriteAction = 0x06;
constexpr std::uint8_t kVendorWriteMode = 0x01;
constexpr std::uint8_t kVendorReadFlags = 0x80;  // CDB byte 8 of every vendor read
constexpr std::size_t kInquiryCommandLength = 6;
constexpr std::size_t kVendorCommandLength = 12;
constexpr std::uint8_t kScsiStatusGood = 0x00;
constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;
constexpr int kSendsPerRequest = 2;  // the request, and once more after a unit attention
constexpr auto kInquiryRequestSize =
    static_cast<std::uint32_t>(BufferedRequestSize(kInquiryLength));
constexpr auto kVendorRequestSize = static_cast<std::uint32_t>(kDirectRequestSize);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(kInquiryRequestSize == 124, "");
#elif defined(_WIN64) || defined(__x86_64__)
static_assert(kInquiryRequestSize == 136, "");
#endif

// Whether the drive turned the command away with a unit attention (after a reset or a replug):
// it did not run the command, and runs it when asked again. Only the sense bytes the driver
// announces in the header count.
template <typename Request>
bool IsUnitAttention(const Request& request) {
    if (request.header.ScsiStatus != kScsiStatusCheckCondition) return false;
    const std::size_t senseLength =
        std::min<std::size_t>(request.header.SenseInfoLength, kSenseAreaSize);
    return SenseKey(request.sense, senseLength) == kSenseKeyUnitAttention;
}

static_assert(kDetailSenseSize >= kSenseAreaSize, "a detail holds the whole sense area");

// Clears the caller's detail and names the command it is about.
void StartDetail(CommandDetail* detail, DeviceCommand command, char letter,
                 std::uint32_t bytesRequested) {
    if (detail == nullptr) return;
    std::memset(detail, 0, sizeof(*detail));
    detail->command = command;
    detail->letter = letter;
    detail->bytesRequested = bytesRequested;
}

DeviceCommand ReadCommandOf(const VendorTag* tag) {
    if (tag == nullptr) return DeviceCommand::ReadIdentityBlock;
    return std::memcmp(*tag, kInfoTag, kVendorTagLength) == 0 ? DeviceCommand::ReadConfigBlock
                                                              : DeviceCommand::ReadTaggedBlock;
}

// What the drive answered to the last send: its status, the bytes that moved and, when it did
// not end GOOD, the sense bytes the driver announced.
template <typename Request>
void NoteAnswer(const Request& request, CommandDetail& detail) {
    detail.delivered = true;
    detail.scsiStatus = request.header.ScsiStatus;
    detail.bytesMoved = static_cast<std::uint32_t>(request.header.DataTransferLength);
    if (request.header.ScsiStatus == kScsiStatusGood) return;
    const std::size_t senseLength =
        std::min<std::size_t>(request.header.SenseInfoLength, kSenseAreaSize);
    std::memcpy(detail.sense, request.sense, senseLength);
    detail.senseLength = static_cast<std::uint8_t>(senseLength);
}

// Sends one request on a freshly opened volume: open, pass-through, close. The request is both
// the input and the output buffer of the call. A request turned away with a unit attention goes
// once more on the same handle; `build` fills the record before each send, as the driver has
// written its status, lengths and sense over the first one. A drive reports each reset once, so
// a second unit attention is a failure like any other CHECK CONDITION.
template <typename Request, typename Build>
DriveStatus SendRequest(Platform& platform, char letter, std::uint32_t controlCode,
                        Request& request, std::uint32_t requestSize, Build build,
                        CommandDetail* detail) {
    VolumeHandle handle = OpenVolume(platform, letter);
    const std::uint32_t openError = platform.LastError();
    if (handle == kInvalidVolumeHandle) {
        if (detail != nullptr) detail->systemError = openError;
        return static_cast<DriveStatus>(openError);
    }
    if (detail != nullptr) detail->opened = true;

    bool sent = false;
    std::uint32_t controlError = 0;
    for (int attempt = 0; attempt < kSendsPerRequest; ++attempt) {
        build(request);
        std::uint32_t returned = 0;
        sent = platform.Control(handle, controlCode, &request, requestSize, &request, requestSize,
                                &returned);
        controlError = platform.LastError();
        if (!sent || !IsUnitAttention(request)) break;
    }
    CloseVolume(platform, handle);
    if (!sent) {
        if (detail != nullptr) detail->systemError = controlError;
        return static_cast<DriveStatus>(controlError);
    }
    if (detail != nullptr) NoteAnswer(request, *detail);
    return -static_cast<DriveStatus>(request.header.ScsiStatus);
}

// The driver leaves the length that actually moved in the header's DataTransferLength.
DriveStatus SendDirect(Platform& platform, char letter, const std::uint8_t (&command)[12],
                       std::uint8_t dataIn, std::uint32_t transferLength, void* data,
                       std::uint32_t& transferred, CommandDetail* detail) {
    ScsiRequestDirect request;
    const DriveStatus status = SendRequest(
        platform, letter, kIoctlScsiPassThroughDirect, request, kVendorRequestSize,
        [&](ScsiRequestDirect& record) {
            BuildDirectRequest(record, kVendorCommandLength, command, dataIn, transferLength,
                               kCommandTimeoutSeconds, data);
        },
        detail);
    transferred = static_cast<std::uint32_t>(request.header.DataTransferLength);
    return status;
}

}  // namespace

DriveStatus ScsiInquiry(Platform& platform, char letter, InquiryData& out, CommandDetail* detail) {
    StartDetail(detail, DeviceCommand::Inquiry, letter, kInquiryLength);
    const std::uint8_t command[kInquiryCommandLength] = {
        kInquiryOpcode, 0, 0, 0, static_cast<std::uint8_t>(kInquiryLength), 0};
    ScsiRequestBuffered request;
    const DriveStatus status = SendRequest(
        platform, letter, kIoctlScsiPassThrough, request, kInquiryRequestSize,
        [&](ScsiRequestBuffered& record) {
            BuildBufferedRequest(record, sizeof(command), command, kScsiDataIn, kInquiryLength,
                                 kCommandTimeoutSeconds);
        },
        detail);
    std::memcpy(out, request.data, kInquiryLength);
    return status;
}

DriveStatus VendorRead(Platform& platform, char letter, const VendorTag* tag, VendorBlock& out,
                       CommandDetail* detail) {
    StartDetail(detail, ReadCommandOf(tag), letter, kVendorBlockSize);
    std::uint8_t command[kVendorCommandLength] = {kVendorOpcode, kVendorReadAction};
    if (tag != nullptr) std::memcpy(&command[2], *tag, kVendorTagLength);
    command[8] = kVendorReadFlags;
    std::uint32_t transferred = 0;
    const DriveStatus status = SendDirect(platform, letter, command, kScsiDataIn, kVendorBlockSize,
                                          out, transferred, detail);
    // An underrun ends GOOD: only the length tells that the end of the buffer is not the drive's.
    if (status == kDriveOk && transferred < kVendorBlockSize) return kDriveShortRead;
    return status;
}

DriveStatus VendorWrite(Platform& platform, char letter, const VendorBlock& block,
                        CommandDetail* detail) {
    StartDetail(detail, DeviceCommand::WriteConfigBlock, letter, kVendorWriteLength);
    const std::uint8_t command[kVendorCommandLength] = {kVendorOpcode, kVendorWriteAction,
                                                        kVendorWriteMode};
    // Data out: the driver only reads the buffer.
    std::uint32_t transferred = 0;
    return SendDirect(platform, letter, command, kScsiDataOut, kVendorWriteLength,
                      const_cast<std::uint8_t*>(block), transferred, detail);
}

}  // namespace vardel
