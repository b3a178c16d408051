#include "platform/emulated/emulated_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/emulated/firmware.h"
#include "platform/emulated/pass_through_record.h"
#include "platform/platform_constants.h"
#include "platform/scsi_pass_through.h"

namespace vardel::emulated {
namespace {

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorNotOwner = 288;  // ReleaseMutex of a mutex not held
constexpr std::uint32_t kKeyQueryValue = 0x0001;
constexpr std::uint32_t kDefaultVersion = 0x23F00206u;  // 6.2, build 9200
constexpr const char* kMountedDevicesKey = "System\\MountedDevices";
constexpr const char* kDosDevicesPrefix = "\\DosDevices\\";
constexpr std::size_t kTooLongValueSize = 2048;

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
        case Operation::Lock:
            return "LOCK";
        case Operation::Address:
            return "ADDRESS";
        case Operation::Open:
        case Operation::OtherCommand:
            break;
    }
    return "OTHER";
}

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
    } else if ((access & kGenericWrite) != 0 && (share & kFileShareWrite) == 0) {
        // The file system keeps a mounted volume open for writing.
        error = kErrorSharingViolation;
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
    // The real call writes the returned byte count without looking and faults on a null pointer.
    if (bytesReturned == nullptr) return finish(kErrorNoAccess);
    if (opened == handles_.end()) return finish(kErrorInvalidHandle);
    if (controlCode == kIoctlScsiGetAddress) {
        return finish(AnswerAddress(call, out, outSize, bytesReturned));
    }
    if (!IsPassThroughCode(controlCode)) return finish(kErrorInvalidFunction);
    if ((opened->second.access & kReadWrite) != kReadWrite) return finish(kErrorAccessDenied);
    if (const std::uint32_t error = RecordError(record, readable, inSize, out, outSize)) {
        return finish(error);
    }

    FirmwareAnswer answer;
    if (const Fault* fault = StrikingFault(call.letter, call.operation)) {
        if (fault->effect == FaultEffect::FailControl) return finish(fault->code);
        if (fault->effect == FaultEffect::UnitAttention) {
            answer.status = kStatusCheckCondition;
            if (record.senseInfoLength > 0) WriteUnitAttentionSense(record, out);
        } else {
            answer.status = static_cast<std::uint8_t>(fault->code);
        }
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
    *bytesReturned = BytesReturned(record, answer.moved);
    call.scsiStatus = answer.status;
    return finish(kErrorSuccess);
}

// Any handle may ask (FILE_ANY_ACCESS); the answer is the port driver's, so no drive sees it.
std::uint32_t EmulatedPlatform::AnswerAddress(CallRecord& call, void* out, std::uint32_t outSize,
                                              std::uint32_t* bytesReturned) {
    call.operation = Operation::Address;
    // As every failed call here, a refused one leaves the caller's count as it was.
    if (const Fault* fault = StrikingFault(call.letter, Operation::Address)) {
        if (fault->effect == FaultEffect::FailControl) return fault->code;
    }
    if (out == nullptr || outSize < sizeof(ScsiAddress)) return kErrorInvalidParameter;
    const auto volume = volumes_.find(call.letter);
    ScsiAddress address = {};
    address.Length = sizeof(ScsiAddress);
    if (volume != volumes_.end()) {
        // A volume with no drive of ours sits on a port of its own, past every drive's.
        const int port = volume->second.driveIndex >= 0 ? volume->second.driveIndex : 0xFF;
        address.PortNumber = static_cast<std::uint8_t>(port);
        address.Lun = volume->second.lunIndex;
    }
    std::memcpy(out, &address, sizeof(address));
    *bytesReturned = sizeof(address);
    return kErrorSuccess;
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

bool EmulatedPlatform::LockKeyOf(char letter, int& key) const {
    const auto volume = volumes_.find(letter);
    if (volume == volumes_.end() || (letterMask_ & LetterBit(letter)) == 0) return false;
    key = volume->second.driveIndex >= 0 ? volume->second.driveIndex : -letter;
    return true;
}

DriveLockResult EmulatedPlatform::LockDrive(char letter, std::uint32_t) {
    CallRecord call;
    call.kind = CallRecord::Kind::Lock;
    call.operation = Operation::Lock;
    call.letter = VolumeLetter(letter);

    DriveLockResult result = DriveLockResult::Held;
    std::uint32_t error = kErrorSuccess;
    int key = 0;
    if (const Fault* fault = StrikingFault(call.letter, Operation::Lock)) {
        if (fault->effect == FaultEffect::Busy) {
            result = DriveLockResult::Busy;
        } else {
            result = DriveLockResult::Failed;
            error = fault->code != 0 ? fault->code : kErrorInvalidFunction;
        }
    } else if (!LockKeyOf(call.letter, key)) {
        result = DriveLockResult::Failed;
        error = kErrorFileNotFound;
    } else {
        for (const auto& held : heldLocks_) {
            if (held.second == key) result = DriveLockResult::Busy;
        }
        if (result == DriveLockResult::Held) heldLocks_[call.letter] = key;
    }
    lastError_ = error;
    call.succeeded = result == DriveLockResult::Held;
    call.error = error;
    Record(call);
    return result;
}

bool EmulatedPlatform::UnlockDrive(char letter) {
    CallRecord call;
    call.kind = CallRecord::Kind::Unlock;
    call.letter = VolumeLetter(letter);
    call.succeeded = heldLocks_.erase(call.letter) > 0;
    call.error = call.succeeded ? kErrorSuccess : kErrorNotOwner;
    lastError_ = call.error;
    Record(call);
    return call.succeeded;
}

bool EmulatedPlatform::DriveLocked(char letter) const {
    return heldLocks_.count(VolumeLetter(letter)) > 0;
}

int SetUpStandardMachine(EmulatedPlatform& platform) {
    platform.AddOtherVolume('C');
    const int drive = platform.AddDrive(StandardDrive());
    platform.AttachVolume('E', drive, 0);
    platform.AttachVolume('F', drive, 1);
    return drive;
}

}  // namespace vardel::emulated
