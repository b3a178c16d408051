#include "ui/lun_mode_commands.h"

#include <cstring>

#include "device/scsi_commands.h"
#include "drive/discovery.h"
#include "ui/type_text.h"

namespace vardel {
namespace {

// The blocks one command reads, each zero-filled before its read.
struct Blocks {
    alignas(kVendorBlockAlignment) VendorBlock info = {};
    alignas(kVendorBlockAlignment) VendorBlock device = {};
};

bool ReadInfoBlock(Platform& platform, char target, VendorBlock& block) {
    std::memset(block, 0, sizeof(block));
    return VendorRead(platform, target, &kInfoTag, block) == kDriveOk;
}

bool ReadDeviceBlock(Platform& platform, char target, VendorBlock& block) {
    std::memset(block, 0, sizeof(block));
    return VendorRead(platform, target, nullptr, block) == kDriveOk;
}

void EndWithMessage(CommandContext& context, const char* message) {
    context.window.ShowMessage(message);
    context.window.EnableCommandButtons(true);
}

// Finds the single drive and sets the target letter. On any other outcome the user is told, the
// buttons are enabled and false comes back.
bool FindTarget(CommandContext& context, bool disableButtons) {
    if (disableButtons) context.window.EnableCommandButtons(false);

    CommandState& state = context.state;
    std::memset(state.letterList, 0, sizeof(state.letterList));
    std::uint8_t count = 0;
    const int found =
        FindDrives(context.platform, state.letterList, sizeof(state.letterList), count);
    const char* problem = nullptr;
    if (found != kFindDrivesOk) {
        problem = kUnknownErrorMessage;
    } else if (count == 0) {
        problem = kNoDriveMessage;
    } else if (count >= 2) {
        problem = kMoreDrivesMessage;
    } else if (state.letterList[0] == 0) {
        problem = kUnknownErrorMessage;
    }
    if (problem == nullptr) {
        OrderByLun(context.platform, state.letterList);
        state.targetLetter = SelectTargetLetter(state.letterList);
        // The LUN indices changed between the scan and the ordering: no letter to send to.
        if (state.targetLetter == 0) problem = kUnknownErrorMessage;
    }
    if (problem != nullptr) {
        EndWithMessage(context, problem);
        return false;
    }
    return true;
}

std::string& RowText(CommandState& state, LunRow row) {
    return row == LunRow::Lun0 ? state.lun0Text : state.lun1Text;
}

}  // namespace

void ReadStatus(CommandContext& context) {
    if (!FindTarget(context, true)) return;
    const char target = context.state.targetLetter;

    Blocks blocks;
    const bool deviceRead = ReadDeviceBlock(context.platform, target, blocks.device);
    const bool infoRead = deviceRead && ReadInfoBlock(context.platform, target, blocks.info);
    if (!infoRead) {
        // Showing "Removable" for a block never read would be a guess.
        EndWithMessage(context, kFailMessage);
        return;
    }

    const bool swapped = IsSwappedLayout(blocks.device, blocks.info);
    context.state.lun0Text = LunTypeText(blocks.info[TypeByteOffset(LunRow::Lun0, swapped)]);
    context.state.lun1Text = LunTypeText(blocks.info[TypeByteOffset(LunRow::Lun1, swapped)]);
    context.window.Refresh();
    context.window.EnableCommandButtons(true);
}

void SetLunMode(CommandContext& context, const LunModeBinding& binding) {
    if (!FindTarget(context, false)) return;
    Platform& platform = context.platform;
    const char target = context.state.targetLetter;

    // Nothing is written unless both blocks came from the drive just now: without the identity
    // block the layout, and so the byte to change, is unknown.
    Blocks blocks;
    const bool read = binding.readsDeviceBlockFirst
                          ? ReadDeviceBlock(platform, target, blocks.device) &&
                                ReadInfoBlock(platform, target, blocks.info)
                          : ReadInfoBlock(platform, target, blocks.info) &&
                                ReadDeviceBlock(platform, target, blocks.device);
    if (!read) {
        context.window.ShowMessage(kFailMessage);
        return;
    }

    const bool swapped = IsSwappedLayout(blocks.device, blocks.info);
    blocks.info[TypeByteOffset(binding.row, swapped)] = binding.type;
    if (VendorWrite(platform, target, blocks.info) != kDriveOk) {
        context.window.ShowMessage(kFailMessage);
        return;
    }

    // The read-back decides the layout again from the new selector byte, and a read-back that
    // failed confirms nothing.
    const bool readBack = ReadInfoBlock(platform, target, blocks.info);
    const bool swappedNow = IsSwappedLayout(blocks.device, blocks.info);
    if (!readBack || blocks.info[TypeByteOffset(binding.row, swappedNow)] != binding.type) {
        context.window.ShowMessage(kFailMessage);
        return;
    }
    RowText(context.state, binding.row) = LunTypeText(binding.type);
    context.window.Refresh();
}

void WriteRaw(CommandContext& context) {
    if (!FindTarget(context, true)) return;
    Platform& platform = context.platform;
    CommandState& state = context.state;
    const char target = state.targetLetter;

    // A prompt from the length check does not stop the command.
    context.window.Take();

    Blocks blocks;
    if (!ReadInfoBlock(platform, target, blocks.info) ||
        !ReadDeviceBlock(platform, target, blocks.device)) {
        EndWithMessage(context, kWriteFailMessage);
        return;
    }

    TrimSpaces(state.lun1Text);
    TrimSpaces(state.lun0Text);
    const bool swapped = IsSwappedLayout(blocks.device, blocks.info);
    const std::size_t lun0Offset = TypeByteOffset(LunRow::Lun0, swapped);
    const std::size_t lun1Offset = TypeByteOffset(LunRow::Lun1, swapped);
    blocks.info[lun0Offset] = TypeByteFromText(state.lun0Text, blocks.info[lun0Offset]);
    blocks.info[lun1Offset] = TypeByteFromText(state.lun1Text, blocks.info[lun1Offset]);

    const bool written = VendorWrite(platform, target, blocks.info) == kDriveOk;
    EndWithMessage(context, written ? kWriteSuccessMessage : kWriteFailMessage);
}

}  // namespace vardel
