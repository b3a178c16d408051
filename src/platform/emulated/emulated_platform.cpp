#include "platform/emulated/emulated_platform.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel::emulated {
namespace {

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kDefaultVersion = 0x23F00206u;  // 6.2, build 9200
constexpr const char* kMountedDevicesKey = "System\\MountedDevices";
constexpr const char* kDosDevicesPrefix = "\\DosDevices\\";
constexpr std::size_t kTooLongValueSize = 2048;

constexpr std::uint8_t kStatusGood = 0x00;
constexpr std::uint8_t kStatusCheckCondition = 0x02;

constexpr std::uint8_t kOpInquiry = 0x12;
constexpr std::uint8_t kOpVendor = 0x06;
constexpr std::uint8_t kVendorRead = 0x05;
constexpr std::uint8_t kVendorWrite = 0x06;
constexpr std::uint8_t kVendorWriteConfig = 0x01;
constexpr std::uint8_t kVendorReadTrailer = 0x80;
constexpr std::size_t kTagOffset = 2;
constexpr std::size_t kTagSize = 6;
constexpr std::uint8_t kInfoTag[kTagSize] = {'I', 'N', 'F', 'O', 0, 0};
constexpr std::uint8_t kIdentityTag[kTagSize] = {0, 0, 0, 0, 0, 0};
constexpr std::size_t kLunIndexOffset = 385;

constexpr std::uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr std::uint8_t kAscInvalidOpcode = 0x20;
constexpr std::uint8_t kAscInvalidField = 0x24;
constexpr std::size_t kSenseSize = 18;

using Cdb = std::array<std::uint8_t, kCdbCapacity>;

// Upper-case drive letter, or 0 for anything that is not one.
char VolumeLetter(char c) {
    if (c >= 'A' && c <= 'Z') return c;
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return 0;
}

std::uint32_t LetterBit(char letter) {
    return letter != 0 ? 1u << (letter - 'A') : 0;
}

// "\\.\X:" and nothing else; 0 when the path is not of that form.
char LetterOfVolumePath(const char* path) {
    if (path == nullptr || std::strlen(path) != 6) return 0;
    if (path[0] != '\\' || path[1] != '\\' || path[2] != '.' || path[3] != '\\' || path[5] != ':') {
        return 0;
    }
    return VolumeLetter(path[4]);
}

bool EqualsIgnoringCase(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const char ca = VolumeLetter(a[i]) != 0 ? VolumeLetter(a[i]) : a[i];
        const char cb = VolumeLetter(b[i]) != 0 ? VolumeLetter(b[i]) : b[i];
        if (ca != cb) return false;
    }
    return true;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
    const std::size_t length = std::strlen(a);
    return length == std::strlen(b) && EqualsIgnoringCase(a, b, length);
}

// "\DosDevices\X:" (registry names ignore case); 0 when the name is not of that form.
char LetterOfMountedName(const char* name) {
    const std::size_t prefixLength = std::strlen(kDosDevicesPrefix);
    if (name == nullptr || std::strlen(name) != prefixLength + 2) return 0;
    if (!EqualsIgnoringCase(name, kDosDevicesPrefix, prefixLength)) return 0;
    if (name[prefixLength + 1] != ':') return 0;
    return VolumeLetter(name[prefixLength]);
}

// A basic-disk entry: a 4-byte disk signature and the partition's 8-byte starting offset.
std::vector<std::uint8_t> MountedValue(char letter, MountedEntry entry) {
    if (entry == MountedEntry::TooLong) {
        std::vector<std::uint8_t> value(kTooLongValueSize);
        for (std::size_t i = 0; i < value.size(); ++i) {
            value[i] = static_cast<std::uint8_t>(i & 0xFF);
        }
        return value;
    }
    return {'V', 'D', static_cast<std::uint8_t>(letter), 0, 0x00, 0x7E, 0, 0, 0, 0, 0, 0};
}

// Both header forms read into one shape, so that the checks and the firmware need not care
// which one the caller sent.
struct PassThroughRecord {
    bool direct = false;
    std::size_t headerSize = 0;
    std::uint16_t length = 0;
    std::uint8_t cdbLength = 0;
    std::uint8_t senseInfoLength = 0;
    std::uint8_t dataIn = 0;
    std::uint32_t transferLength = 0;
    std::uint32_t timeoutSeconds = 0;
    std::uint64_t dataBufferOffset = 0;
    void* dataBuffer = nullptr;
    std::uint32_t senseInfoOffset = 0;
    Cdb cdb{};
};

bool IsPassThroughCode(std::uint32_t controlCode) {
    return controlCode == kIoctlScsiPassThrough || controlCode == kIoctlScsiPassThroughDirect;
}

std::size_t HeaderSize(std::uint32_t controlCode) {
    return controlCode == kIoctlScsiPassThroughDirect ? sizeof(ScsiPassThroughDirect)
                                                      : sizeof(ScsiPassThrough);
}

template <typename Header>
void CopyCommonFields(const Header& header, PassThroughRecord& record) {
    record.headerSize = sizeof(Header);
    record.length = header.Length;
    record.cdbLength = header.CdbLength;
    record.senseInfoLength = header.SenseInfoLength;
    record.dataIn = header.DataIn;
    record.transferLength = static_cast<std::uint32_t>(header.DataTransferLength);
    record.timeoutSeconds = static_cast<std::uint32_t>(header.TimeOutValue);
    record.senseInfoOffset = static_cast<std::uint32_t>(header.SenseInfoOffset);
    std::memcpy(record.cdb.data(), header.Cdb, kCdbCapacity);
}

// The record may sit anywhere in the caller's buffer, so it is copied out rather than cast.
bool ReadRecord(std::uint32_t controlCode, const void* in, std::uint32_t inSize,
                PassThroughRecord& record) {
    if (in == nullptr || !IsPassThroughCode(controlCode) || inSize < HeaderSize(controlCode)) {
        return false;
    }
    if (controlCode == kIoctlScsiPassThroughDirect) {
        ScsiPassThroughDirect header;
        std::memcpy(&header, in, sizeof header);
        CopyCommonFields(header, record);
        record.direct = true;
        record.dataBuffer = header.DataBuffer;
    } else {
        ScsiPassThrough header;
        std::memcpy(&header, in, sizeof header);
        CopyCommonFields(header, record);
        record.dataBufferOffset = header.DataBufferOffset;
    }
    return true;
}

// The driver echoes the caller's header with the status and the bytes actually moved.
template <typename Header>
void WriteHeader(const void* in, void* out, std::uint8_t scsiStatus, std::uint32_t moved) {
    Header header;
    std::memcpy(&header, in, sizeof header);
    header.ScsiStatus = scsiStatus;
    header.DataTransferLength = moved;
    std::memcpy(out, &header, sizeof header);
}

void WriteHeaderResult(const PassThroughRecord& record, const void* in, void* out,
                       std::uint8_t scsiStatus, std::uint32_t moved) {
    if (record.direct) {
        WriteHeader<ScsiPassThroughDirect>(in, out, scsiStatus, moved);
    } else {
        WriteHeader<ScsiPassThrough>(in, out, scsiStatus, moved);
    }
}

// A range [offset, offset + length) inside a buffer of `size` bytes, without overflow.
bool FitsIn(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// The checks the storage driver makes before anything reaches the device; 0 when the record
// passes.
std::uint32_t RecordError(const PassThroughRecord& record, bool readable, std::uint32_t inSize,
                          const void* out, std::uint32_t outSize) {
    if (!readable || out == nullptr || outSize < record.headerSize) return kErrorInvalidParameter;
    if (record.length != record.headerSize) return kErrorInvalidParameter;
    if (record.cdbLength == 0 || record.cdbLength > kCdbCapacity) return kErrorInvalidParameter;
    if (record.dataIn > kScsiDataUnspecified) return kErrorInvalidParameter;
    if (record.senseInfoLength > 0 &&
        (record.senseInfoOffset < record.headerSize ||
         !FitsIn(record.senseInfoOffset, record.senseInfoLength, outSize))) {
        return kErrorInvalidParameter;
    }
    if (record.transferLength > 0) {
        if (record.direct) {
            if (record.dataBuffer == nullptr) return kErrorInvalidParameter;
        } else {
            const std::uint32_t limit = record.dataIn == kScsiDataIn ? outSize : inSize;
            if (record.dataBufferOffset < record.headerSize ||
                !FitsIn(record.dataBufferOffset, record.transferLength, limit)) {
                return kErrorInvalidParameter;
            }
        }
    }
    return kErrorSuccess;
}

// Where the data phase reads or writes: the caller's buffer for the direct form, the record's
// data area (in the output for data-in, the input otherwise) for the buffered one.
std::uint8_t* DataArea(const PassThroughRecord& record, void* in, void* out) {
    if (record.transferLength == 0) return nullptr;
    if (record.direct) return static_cast<std::uint8_t*>(record.dataBuffer);
    void* base = record.dataIn == kScsiDataIn ? out : in;
    return static_cast<std::uint8_t*>(base) + record.dataBufferOffset;
}

std::uint32_t BytesReturned(const PassThroughRecord& record, std::uint32_t moved) {
    if (!record.direct && record.dataIn == kScsiDataIn && record.transferLength > 0) {
        return static_cast<std::uint32_t>(record.dataBufferOffset + moved);
    }
    return static_cast<std::uint32_t>(record.headerSize);
}

bool HasTag(const Cdb& cdb, const std::uint8_t (&tag)[kTagSize]) {
    return std::memcmp(cdb.data() + kTagOffset, tag, kTagSize) == 0;
}

Operation ClassifyCommand(const Cdb& cdb) {
    if (cdb[0] == kOpInquiry) return Operation::Inquiry;
    if (cdb[0] == kOpVendor && cdb[1] == kVendorRead) {
        if (HasTag(cdb, kInfoTag)) return Operation::ReadConfig;
        if (HasTag(cdb, kIdentityTag)) return Operation::ReadIdentity;
    }
    if (cdb[0] == kOpVendor && cdb[1] == kVendorWrite && cdb[2] == kVendorWriteConfig) {
        return Operation::Write;
    }
    return Operation::OtherCommand;
}

const char* TraceName(Operation operation) {
    switch (operation) {
        case Operation::Inquiry:
            return "INQUIRY";
        case Operation::ReadConfig:
            return "READ INFO";
        case Operation::ReadIdentity:
            return "READ ID";
        case Operation::Write:
            return "WRITE";
        case Operation::Open:
        case Operation::OtherCommand:
            break;
    }
    return "OTHER";
}

// ---- The firmware model ----

struct FirmwareAnswer {
    std::uint8_t status = kStatusGood;
    std::uint32_t moved = 0;
    std::uint8_t asc = 0;   // with CHECK CONDITION
    bool tookData = false;  // the firmware accepted `moved` data-out bytes
};

FirmwareAnswer CheckCondition(std::uint8_t asc) {
    FirmwareAnswer answer;
    answer.status = kStatusCheckCondition;
    answer.asc = asc;
    return answer;
}

// What the device receives: the announced CDB bytes, zeros after them.
Cdb AnnouncedCdb(const PassThroughRecord& record) {
    Cdb cdb{};
    std::copy_n(record.cdb.begin(), std::min<std::size_t>(record.cdbLength, kCdbCapacity),
                cdb.begin());
    return cdb;
}

// A disk of some other maker: a plain identity with none of our drive's signature bytes.
std::array<std::uint8_t, kInquirySize> OtherVolumeInquiry() {
    Drive other;
    other.inquiry[2] = 0x05;
    other.inquiry[3] = 0x02;
    other.inquiry[4] = 31;
    SetInquiryText(other, 8, 8, "OTHER");
    SetInquiryText(other, 16, 16, "GENERIC DISK");
    SetInquiryText(other, 32, 4, "1.00");
    return other.inquiry;
}

FirmwareAnswer AnswerInquiry(const std::array<std::uint8_t, kInquirySize>& inquiry, const Cdb& cdb,
                             const PassThroughRecord& record, std::uint8_t* data) {
    constexpr std::uint8_t kEvpd = 0x01;
    if (record.dataIn != kScsiDataIn || (cdb[1] & kEvpd) != 0) {
        return CheckCondition(kAscInvalidField);
    }
    const std::size_t allocation = static_cast<std::size_t>(cdb[3] << 8 | cdb[4]);
    FirmwareAnswer answer;
    answer.moved = static_cast<std::uint32_t>(
        std::min({allocation, static_cast<std::size_t>(record.transferLength), kInquirySize}));
    if (answer.moved > 0) std::memcpy(data, inquiry.data(), answer.moved);
    return answer;
}

FirmwareAnswer AnswerVendorRead(const Drive& drive, std::uint8_t lunIndex, const Cdb& cdb,
                                const PassThroughRecord& record, std::uint8_t* data) {
    if (record.dataIn != kScsiDataIn || record.transferLength != kBlockSize ||
        cdb[8] != kVendorReadTrailer) {
        return CheckCondition(kAscInvalidField);
    }
    FirmwareAnswer answer;
    if (HasTag(cdb, kInfoTag)) {
        std::memcpy(data, drive.configBlock.data(), kBlockSize);
        answer.moved = kBlockSize;
    } else if (HasTag(cdb, kIdentityTag)) {
        Block identity = drive.identityBlock;
        identity[kLunIndexOffset] = lunIndex;
        answer.moved = static_cast<std::uint32_t>(std::min(drive.identityReturned, kBlockSize));
        std::memcpy(data, identity.data(), answer.moved);
    } else {
        return CheckCondition(kAscInvalidField);
    }
    return answer;
}

FirmwareAnswer AnswerVendorWrite(Drive& drive, const PassThroughRecord& record,
                                 const std::uint8_t* data) {
    if (record.dataIn != kScsiDataOut || record.transferLength != kWrittenSize) {
        return CheckCondition(kAscInvalidField);
    }
    if (drive.keepsWrites) std::memcpy(drive.configBlock.data(), data, kWrittenSize);
    FirmwareAnswer answer;
    answer.moved = kWrittenSize;
    answer.tookData = true;
    return answer;
}

// `drive` is null for a volume with no drive of ours behind it.
FirmwareAnswer RunFirmware(Drive* drive, std::uint8_t lunIndex, const PassThroughRecord& record,
                           std::uint8_t* data) {
    const Cdb cdb = AnnouncedCdb(record);
    if (cdb[0] == kOpInquiry) {
        return AnswerInquiry(drive != nullptr ? drive->inquiry : OtherVolumeInquiry(), cdb, record,
                             data);
    }
    if (drive == nullptr || cdb[0] != kOpVendor) return CheckCondition(kAscInvalidOpcode);
    if (cdb[1] == kVendorRead) return AnswerVendorRead(*drive, lunIndex, cdb, record, data);
    if (cdb[1] == kVendorWrite && cdb[2] == kVendorWriteConfig) {
        return AnswerVendorWrite(*drive, record, data);
    }
    return CheckCondition(kAscInvalidOpcode);
}

// Fixed-format sense, cut to the room the caller gave.
void WriteSense(const PassThroughRecord& record, void* out, std::uint8_t asc) {
    std::uint8_t sense[kSenseSize] = {};
    sense[0] = 0x70;
    sense[2] = kSenseKeyIllegalRequest;
    sense[7] = static_cast<std::uint8_t>(kSenseSize - 8);
    sense[12] = asc;
    std::memcpy(static_cast<std::uint8_t*>(out) + record.senseInfoOffset, sense,
                std::min<std::size_t>(record.senseInfoLength, kSenseSize));
}

void DescribeRecord(const PassThroughRecord& record, CallRecord& call) {
    std::copy(record.cdb.begin(), record.cdb.end(), call.cdb);
    call.cdbLength = record.cdbLength;
    call.dataIn = record.dataIn;
    call.senseInfoLength = record.senseInfoLength;
    call.transferLength = record.transferLength;
    call.timeoutSeconds = record.timeoutSeconds;
    call.operation = ClassifyCommand(record.cdb);
}

}  // namespace

EmulatedPlatform::EmulatedPlatform() : version_(kDefaultVersion) {}

int EmulatedPlatform::AddDrive(const Drive& drive) {
    drives_.push_back(drive);
    return static_cast<int>(drives_.size() - 1);
}

Drive& EmulatedPlatform::DriveAt(int index) {
    return drives_[static_cast<std::size_t>(index)];
}

void EmulatedPlatform::Record(const CallRecord& call) {
    log_.push_back(call);
    if (afterCall_) afterCall_(call);
}

void EmulatedPlatform::AttachVolume(char letter, int driveIndex, std::uint8_t lunIndex) {
    letter = VolumeLetter(letter);
    if (letter == 0) return;
    volumes_[letter] = Volume{driveIndex, lunIndex};
    mountedEntries_[letter] = MountedEntry::Present;
    letterMask_ |= LetterBit(letter);
}

void EmulatedPlatform::AddOtherVolume(char letter) {
    AttachVolume(letter, -1, 0);
}

void EmulatedPlatform::SetMountedEntry(char letter, MountedEntry entry) {
    letter = VolumeLetter(letter);
    if (letter != 0) mountedEntries_[letter] = entry;
}

void EmulatedPlatform::SetLetterExists(char letter, bool exists) {
    letter = VolumeLetter(letter);
    if (letter == 0) return;
    if (exists) {
        letterMask_ |= LetterBit(letter);
    } else {
        letterMask_ &= ~LetterBit(letter);
    }
}

void EmulatedPlatform::SetVersionNumber(std::uint32_t version) {
    version_ = version;
}

void EmulatedPlatform::InjectFault(const Fault& fault) {
    ArmedFault armed;
    armed.fault = fault;
    if (fault.letter != 0) armed.fault.letter = VolumeLetter(fault.letter);
    faults_.push_back(armed);
}

// Every armed fault counts every call it matches, whether or not an earlier fault struck that
// call, so each one's skip and times read as "the Nth matching call" on their own.
const Fault* EmulatedPlatform::StrikingFault(char letter, Operation operation) {
    const Fault* striking = nullptr;
    for (ArmedFault& armed : faults_) {
        const Fault& fault = armed.fault;
        const bool opensOnly = fault.effect == FaultEffect::FailOpen;
        if (opensOnly != (operation == Operation::Open) || fault.operation != operation) continue;
        if (fault.letter != 0 && fault.letter != letter) continue;
        ++armed.seen;
        const bool pastSkip = armed.seen > fault.skip;
        const bool withinTimes = fault.times < 0 || armed.seen - fault.skip <= fault.times;
        if (striking == nullptr && pastSkip && withinTimes) striking = &fault;
    }
    return striking;
}

std::vector<std::string> EmulatedPlatform::CommandTrace() const {
    std::vector<std::string> trace;
    for (const CallRecord& call : log_) {
        if (call.kind != CallRecord::Kind::Control) continue;
        std::string line = call.succeeded ? "" : "failed ";
        line += TraceName(call.operation);
        line += ' ';
        line += call.letter != 0 ? call.letter : '?';
        trace.push_back(line);
    }
    return trace;
}

VolumeHandle EmulatedPlatform::Open(const char* path, std::uint32_t access, std::uint32_t share,
                                    std::uint32_t disposition, std::uint32_t flags) {
    CallRecord call;
    call.kind = CallRecord::Kind::Open;
    call.operation = Operation::Open;
    call.name = path != nullptr ? path : "";
    call.letter = LetterOfVolumePath(path);
    call.access = access;
    call.share = share;
    call.disposition = disposition;
    call.flags = flags;

    std::uint32_t error = kErrorSuccess;
    const auto volume = volumes_.find(call.letter);
    if (const Fault* fault = StrikingFault(call.letter, Operation::Open)) {
        error = fault->code;
    } else if (volume == volumes_.end() || (letterMask_ & LetterBit(call.letter)) == 0) {
        error = kErrorFileNotFound;
    } else if (disposition != kOpenExisting) {
        error = kErrorInvalidParameter;
    }

    VolumeHandle handle = kInvalidVolumeHandle;
    if (error == kErrorSuccess) {
        handle = nextHandle_;
        nextHandle_ += 4;
        handles_[handle] = OpenHandle{call.letter, access};
    }
    lastError_ = error;
    call.succeeded = error == kErrorSuccess;
    call.error = error;
    Record(call);
    return handle;
}

bool EmulatedPlatform::Control(VolumeHandle handle, std::uint32_t controlCode, void* in,
                               std::uint32_t inSize, void* out, std::uint32_t outSize,
                               std::uint32_t* bytesReturned) {
    CallRecord call;
    call.kind = CallRecord::Kind::Control;
    call.controlCode = controlCode;
    call.inSize = inSize;
    call.outSize = outSize;
    const auto opened = handles_.find(handle);
    if (opened != handles_.end()) call.letter = opened->second.letter;

    PassThroughRecord record;
    record.headerSize = HeaderSize(controlCode);
    const bool readable = ReadRecord(controlCode, in, inSize, record);
    if (readable) DescribeRecord(record, call);

    auto finish = [&](std::uint32_t error) {
        lastError_ = error;
        call.succeeded = error == kErrorSuccess;
        call.error = error;
        Record(call);
        return call.succeeded;
    };

    constexpr std::uint32_t kReadWrite = kGenericRead | kGenericWrite;
    if (opened == handles_.end()) return finish(kErrorInvalidHandle);
    if (!IsPassThroughCode(controlCode)) return finish(kErrorInvalidFunction);
    if ((opened->second.access & kReadWrite) != kReadWrite) return finish(kErrorAccessDenied);
    if (const std::uint32_t error = RecordError(record, readable, inSize, out, outSize)) {
        return finish(error);
    }

    FirmwareAnswer answer;
    if (const Fault* fault = StrikingFault(call.letter, call.operation)) {
        if (fault->effect == FaultEffect::FailControl) return finish(fault->code);
        answer.status = static_cast<std::uint8_t>(fault->code);
    } else {
        const auto volume = volumes_.find(call.letter);
        const int driveIndex = volume != volumes_.end() ? volume->second.driveIndex : -1;
        const bool ours = driveIndex >= 0 && static_cast<std::size_t>(driveIndex) < drives_.size();
        std::uint8_t* data = DataArea(record, in, out);
        answer = RunFirmware(ours ? &drives_[static_cast<std::size_t>(driveIndex)] : nullptr,
                             volume != volumes_.end() ? volume->second.lunIndex : 0, record, data);
        if (answer.tookData) call.dataSent.assign(data, data + answer.moved);
        if (answer.status == kStatusCheckCondition && record.senseInfoLength > 0) {
            WriteSense(record, out, answer.asc);
        }
    }

    WriteHeaderResult(record, in, out, answer.status, answer.moved);
    if (bytesReturned != nullptr) *bytesReturned = BytesReturned(record, answer.moved);
    call.scsiStatus = answer.status;
    return finish(kErrorSuccess);
}

bool EmulatedPlatform::Close(VolumeHandle handle) {
    CallRecord call;
    call.kind = CallRecord::Kind::Close;
    const auto opened = handles_.find(handle);
    if (opened != handles_.end()) {
        call.letter = opened->second.letter;
        handles_.erase(opened);
        call.succeeded = true;
    } else {
        call.error = kErrorInvalidHandle;
    }
    lastError_ = call.error;
    Record(call);
    return call.succeeded;
}

std::uint32_t EmulatedPlatform::LogicalDriveMask() {
    CallRecord call;
    call.kind = CallRecord::Kind::LogicalDrives;
    call.succeeded = true;
    Record(call);
    return letterMask_;
}

std::int32_t EmulatedPlatform::OpenRegistryKey(RegistryKey root, const char* subKey,
                                               std::uint32_t access, RegistryKey* key) {
    CallRecord call;
    call.kind = CallRecord::Kind::RegistryOpen;
    call.name = subKey != nullptr ? subKey : "";
    call.access = access;

    std::uint32_t result = kErrorSuccess;
    if (key == nullptr) {
        result = kErrorInvalidParameter;
    } else if (root != kHkeyLocalMachine || subKey == nullptr ||
               !EqualsIgnoringCase(subKey, kMountedDevicesKey) || (access & kKeyQueryValue) == 0) {
        result = kErrorFileNotFound;
    } else {
        *key = nextKey_;
        nextKey_ += 4;
        registryKeys_[*key] = true;
    }
    call.succeeded = result == kErrorSuccess;
    call.error = result;
    Record(call);
    return static_cast<std::int32_t>(result);
}

std::int32_t EmulatedPlatform::QueryRegistryValue(RegistryKey key, const char* valueName,
                                                  std::uint8_t* data, std::uint32_t* dataSize) {
    CallRecord call;
    call.kind = CallRecord::Kind::RegistryQuery;
    call.name = valueName != nullptr ? valueName : "";
    call.letter = LetterOfMountedName(valueName);

    const auto entry = mountedEntries_.find(call.letter);
    const bool exists = entry != mountedEntries_.end() && entry->second != MountedEntry::Absent;
    std::uint32_t result = kErrorSuccess;
    if (registryKeys_.count(key) == 0) {
        result = kErrorInvalidHandle;
    } else if (!exists) {
        result = kErrorFileNotFound;
    } else if (data != nullptr && dataSize == nullptr) {
        result = kErrorInvalidParameter;
    } else if (dataSize != nullptr) {
        const std::vector<std::uint8_t> value = MountedValue(call.letter, entry->second);
        const auto valueSize = static_cast<std::uint32_t>(value.size());
        if (data != nullptr && *dataSize < valueSize) {
            result = kErrorMoreData;
        } else if (data != nullptr) {
            std::memcpy(data, value.data(), value.size());
        }
        *dataSize = valueSize;
    }
    call.succeeded = result == kErrorSuccess;
    call.error = result;
    Record(call);
    return static_cast<std::int32_t>(result);
}

std::int32_t EmulatedPlatform::CloseRegistryKey(RegistryKey key) {
    CallRecord call;
    call.kind = CallRecord::Kind::RegistryClose;
    const std::uint32_t result = registryKeys_.erase(key) > 0 ? kErrorSuccess : kErrorInvalidHandle;
    call.succeeded = result == kErrorSuccess;
    call.error = result;
    Record(call);
    return static_cast<std::int32_t>(result);
}

std::uint32_t EmulatedPlatform::VersionNumber() {
    CallRecord call;
    call.kind = CallRecord::Kind::Version;
    call.succeeded = true;
    Record(call);
    return version_;
}

int SetUpStandardMachine(EmulatedPlatform& platform) {
    platform.AddOtherVolume('C');
    const int drive = platform.AddDrive(StandardDrive());
    platform.AttachVolume('E', drive, 0);
    platform.AttachVolume('F', drive, 1);
    return drive;
}

}  // namespace vardel::emulated
