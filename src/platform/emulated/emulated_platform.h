#pragma once
// The emulated backend: volumes, registry and version of a Windows machine with drives of the
// served kind attached, and a driver that checks each pass-through record as the real one does
// before the firmware model sees it. Faults can be injected per volume and per call, and every
// call is logged so that tests can assert on what reached the driver.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/emulated/emulated_drive.h"
#include "platform/platform.h"

namespace vardel::emulated {

// What a call did to the drive, read from its CDB (Open for a volume open, Lock for LockDrive,
// Address for the question where the volume's device sits, which no drive sees).
enum class Operation { Open, Inquiry, ReadConfig, ReadIdentity, Write, OtherCommand, Lock, Address };

// The name of a command in the command trace: "INQUIRY", "READ INFO", "READ ID", "WRITE",
// "ADDRESS", or "OTHER" for anything else.
const char* TraceName(Operation operation);

enum class FaultEffect {
    FailOpen,     // Open returns the invalid handle; LastError() gives `code`
    FailControl,  // Control returns false; LastError() gives `code`; nothing reaches the drive
                  // (the only effect on Address)
    ScsiStatus,   // Control succeeds with the record's ScsiStatus = `code`; the firmware does
                  // nothing
    // Control succeeds with CHECK CONDITION and the fixed-format sense of a drive that was reset
    // (UNIT ATTENTION, power on or reset), as after a replug; `code` is not used; the firmware
    // does nothing
    UnitAttention,
    // With Lock only: LockDrive gives Busy, as while another process holds the drive; `code` is
    // not used. (FailControl on Lock makes it fail with `code`.)
    Busy,
};

struct Fault {
    char letter = 0;  // the volume; 0 matches every volume
    Operation operation = Operation::Open;
    int skip = 0;   // matching calls let through before the fault strikes
    int times = 1;  // matching calls it strikes after that; -1 strikes every one
    FaultEffect effect = FaultEffect::FailOpen;
    std::uint32_t code = 0;
};

enum class MountedEntry { Absent, Present, TooLong };

struct CallRecord {
    enum class Kind {
        Open,
        Control,
        Close,
        LogicalDrives,
        RegistryOpen,
        RegistryQuery,
        RegistryClose,
        Version,
        Lock,
        Unlock
    };
    Kind kind = Kind::Open;
    Operation operation = Operation::OtherCommand;  // Open and Control only
    char letter = 0;   // the volume behind the path or handle (Lock, Unlock: the letter given)
    std::string name;  // Open: the path; RegistryOpen: the sub key; RegistryQuery: the value name
    std::uint32_t access = 0, share = 0, disposition = 0, flags = 0;  // Open, RegistryOpen
    std::uint32_t controlCode = 0, inSize = 0, outSize = 0;           // Control
    // The record as the driver saw it (Control, when the record was long enough to read).
    std::uint8_t cdb[16] = {};
    std::uint8_t cdbLength = 0;
    std::uint8_t dataIn = 0;
    std::uint8_t senseInfoLength = 0;
    std::uint32_t transferLength = 0;
    std::uint32_t timeoutSeconds = 0;
    std::vector<std::uint8_t> dataSent;  // data-out bytes the firmware received
    bool succeeded = false;              // the call's own result
    std::uint32_t error = 0;             // LastError() after a failed call
    std::uint8_t scsiStatus = 0;         // Control that succeeded
};

class EmulatedPlatform : public Platform {
  public:
    EmulatedPlatform();

    // Adds a drive and returns its index for AttachVolume and DriveAt.
    int AddDrive(const Drive& drive);
    Drive& DriveAt(int index);
    // Puts `letter` in front of LUN `lunIndex` of drive `driveIndex`: the letter exists, has a
    // mounted-device entry and opens onto that drive. Its SCSI address is port `driveIndex`, path
    // 0, target 0, LUN `lunIndex`: each drive sits on a port of its own, as a USB drive does.
    void AttachVolume(char letter, int driveIndex, std::uint8_t lunIndex);
    // A letter that exists (a hard disk, a CD drive ...) with no drive of ours behind it.
    void AddOtherVolume(char letter);
    void SetMountedEntry(char letter, MountedEntry entry);
    void SetLetterExists(char letter, bool exists);
    void SetVersionNumber(std::uint32_t version);
    void InjectFault(const Fault& fault);

    // Called after every logged call, so that a test can change the machine at an exact moment
    // (a volume that answers with another LUN index the second time, say).
    using CallHook = std::function<void(const CallRecord&)>;
    void SetAfterCallHook(CallHook hook) { afterCall_ = std::move(hook); }

    const std::vector<CallRecord>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // The commands that reached the driver, one line each: "INQUIRY E", "READ INFO F",
    // "READ ID F", "WRITE F", "ADDRESS E", "OTHER E", prefixed with "failed " when the control
    // call failed.
    std::vector<std::string> CommandTrace() const;

    VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t flags) override;
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override;
    bool Close(VolumeHandle handle) override;
    std::uint32_t LastError() override { return lastError_; }

    std::uint32_t LogicalDriveMask() override;
    std::int32_t OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t access,
                                 RegistryKey* key) override;
    std::int32_t QueryRegistryValue(RegistryKey key, const char* valueName, std::uint8_t* data,
                                    std::uint32_t* dataSize) override;
    std::int32_t CloseRegistryKey(RegistryKey key) override;
    std::uint32_t VersionNumber() override;
    // Within one process nothing waits: a drive already held is Busy at once. Each drive is one
    // lock whichever of its letters takes it; a letter with no drive of ours is a lock of its own.
    DriveLockResult LockDrive(char letter, std::uint32_t waitMilliseconds) override;
    bool UnlockDrive(char letter) override;
    // Whether a lock taken through `letter` is held now.
    bool DriveLocked(char letter) const;

  private:
    struct Volume {
        int driveIndex = -1;  // -1: a volume with no drive of ours behind it
        std::uint8_t lunIndex = 0;
    };
    struct OpenHandle {
        char letter = 0;
        std::uint32_t access = 0;
    };
    struct ArmedFault {
        Fault fault;
        int seen = 0;
    };

    const Fault* StrikingFault(char letter, Operation operation);
    // What one lock stands for: the drive's index, or for a letter with no drive of ours minus
    // the letter; false for a letter that does not exist.
    bool LockKeyOf(char letter, int& key) const;
    // IOCTL_SCSI_GET_ADDRESS on an open volume; `call` is logged by the caller.
    std::uint32_t AnswerAddress(CallRecord& call, void* out, std::uint32_t outSize,
                                std::uint32_t* bytesReturned);
    void Record(const CallRecord& call);

    std::vector<Drive> drives_;
    std::map<char, Volume> volumes_;
    std::map<char, MountedEntry> mountedEntries_;
    std::uint32_t letterMask_ = 0;
    std::uint32_t version_ = 0;
    std::vector<ArmedFault> faults_;
    std::map<VolumeHandle, OpenHandle> handles_;
    std::map<RegistryKey, bool> registryKeys_;
    std::map<char, int> heldLocks_;  // by letter taken through: the lock key
    VolumeHandle nextHandle_ = 0x100;
    RegistryKey nextKey_ = 0x200;
    std::uint32_t lastError_ = 0;
    std::vector<CallRecord> log_;
    CallHook afterCall_;
};

// The machine the demo and most tests want: a system disk C with no drive of ours behind it, and
// one StandardDrive() seen as E (LUN 0) and F (LUN 1). Returns the drive's index.
int SetUpStandardMachine(EmulatedPlatform& platform);

}  // namespace vardel::emulated
