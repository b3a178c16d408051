#pragma once
// A platform that forwards every call to the one beneath and notes whether a volume open failed
// for lack of rights, so that "No drive found" can say why: discovery itself only sees letters
// that are no candidates.

#include "platform/platform.h"

namespace vardel::frontend {

class AccessWatch : public Platform {
  public:
    using NoRightsTest = bool (*)(std::uint32_t error);
    AccessWatch(Platform& inner, NoRightsTest isNoRights)
        : inner_(&inner), isNoRights_(isNoRights) {}

    // From now on the calls go to `inner`, which must outlive the watch or the next Watch.
    void Watch(Platform& inner) { inner_ = &inner; }

    bool SawNoRights() const { return sawNoRights_; }
    // The letters whose volume could not be opened for lack of rights: bit 0 is A.
    std::uint32_t NoRightsLetters() const { return noRightsLetters_; }
    // How many disks could not be opened so.
    int NoRightsDisks() const {
        int count = 0;
        for (std::uint32_t letters = noRightsLetters_; letters != 0; letters &= letters - 1) {
            ++count;
        }
        return count;
    }
    // A window runs many commands over one watch; each asks afresh.
    void ForgetNoRights() {
        sawNoRights_ = false;
        noRightsLetters_ = 0;
    }

    VolumeHandle Open(const char* path, std::uint32_t access, std::uint32_t share,
                      std::uint32_t disposition, std::uint32_t flags) override;
    bool Control(VolumeHandle handle, std::uint32_t controlCode, void* in, std::uint32_t inSize,
                 void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) override {
        return inner_->Control(handle, controlCode, in, inSize, out, outSize, bytesReturned);
    }
    bool Close(VolumeHandle handle) override { return inner_->Close(handle); }
    std::uint32_t LastError() override { return inner_->LastError(); }
    std::uint32_t LogicalDriveMask() override { return inner_->LogicalDriveMask(); }
    std::int32_t OpenRegistryKey(RegistryKey root, const char* subKey, std::uint32_t access,
                                 RegistryKey* key) override {
        return inner_->OpenRegistryKey(root, subKey, access, key);
    }
    std::int32_t QueryRegistryValue(RegistryKey key, const char* valueName, std::uint8_t* data,
                                    std::uint32_t* dataSize) override {
        return inner_->QueryRegistryValue(key, valueName, data, dataSize);
    }
    std::int32_t CloseRegistryKey(RegistryKey key) override {
        return inner_->CloseRegistryKey(key);
    }
    std::uint32_t VersionNumber() override { return inner_->VersionNumber(); }
    DriveLockResult LockDrive(char letter, std::uint32_t waitMilliseconds) override {
        return inner_->LockDrive(letter, waitMilliseconds);
    }
    bool UnlockDrive(char letter) override { return inner_->UnlockDrive(letter); }

  private:
    Platform* inner_;
    NoRightsTest isNoRights_;
    bool sawNoRights_ = false;
    std::uint32_t noRightsLetters_ = 0;
};

// The emulated machine speaks the Windows codes.
bool IsEmulatedNoRightsError(std::uint32_t error);

}  // namespace vardel::frontend
