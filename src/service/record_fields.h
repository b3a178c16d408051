#pragma once
// The fields of the records a reply carries beside the outcome (docs/service.md, "Replies"): a
// listed drive, a journal entry, a backup's blocks. As in outcome_fields.h, the service writes
// them and a client reads them through the same table. Beyond outcome_fields.h's calls,
// `Fields` offers Text, Texts, FixedBytes (exactly the size given) and Slots (a list of
// dictionaries, one for each index below the count given).

#include <cstddef>

#include "commands/block_backup.h"
#include "service/service_request.h"

namespace vardel::service {

// The LUNs a reply describes of a drive: the two the served drives have (ServiceDrive::disks).
constexpr std::size_t kReplyLuns = 2;

// What the system says of a letter's disk (`disk`).
template <typename Disk, typename Fields>
void DiskFields(Disk& disk, Fields& fields) {
    fields.Texts("paths", disk.paths);
    fields.Text("vendor", disk.vendor);
    fields.Text("product", disk.product);
    fields.Text("revision", disk.revision);
    fields.Bool("notOnUsb", disk.notOnUsb);
}

// One drive of a listing (`drives`), with its two LUNs (`luns`) by index.
template <typename Drive, typename Fields>
void DriveFields(Drive& drive, Fields& fields) {
    fields.Text("serial", drive.serial);
    fields.FixedBytes("key", drive.listed.key.bytes, kDeviceKeySize);
    fields.Bool("addressKnown", drive.listed.physical.addressKnown);
    fields.Byte("port", drive.listed.physical.port);
    fields.Byte("path", drive.listed.physical.path);
    fields.Byte("targetId", drive.listed.physical.target);
    fields.Letter("target", drive.listed.target);
    fields.FixedBytes("identity", drive.listed.identity, kVendorBlockSize);
    fields.Slots("luns", kReplyLuns, [&drive](std::size_t lun, Fields& inner) {
        inner.Letter("letter", drive.listed.lunSlots[lun]);
        inner.Bool("inquiryRead", drive.listed.inquiryRead[lun]);
        inner.FixedBytes("inquiry", drive.listed.inquiry[lun], kInquiryLength);
        inner.Dict("disk", drive.disks[lun],
                   [](auto& disk, Fields& diskFields) { DiskFields(disk, diskFields); });
    });
}

// A disk discovery could not open for lack of rights (`notOpened`).
template <typename Refused, typename Fields>
void RefusedDiskFields(Refused& refused, Fields& fields) {
    fields.Letter("letter", refused.letter);
    fields.Bool("described", refused.described);
    fields.Dict("disk", refused.disk,
                [](auto& disk, Fields& diskFields) { DiskFields(disk, diskFields); });
}

// A change in the journal (`history`, `undone`).
template <typename Entry, typename Fields>
void JournalEntryFields(Entry& entry, Fields& fields) {
    fields.Text("time", entry.time);
    fields.Uint("number", entry.number);
    fields.Text("command", entry.command);
    fields.Text("tool", entry.tool);
    fields.Text("serial", entry.serial);
    fields.Letter("target", entry.target);
    fields.Bool("addressKnown", entry.device.addressKnown);
    fields.Byte("port", entry.device.port);
    fields.Byte("path", entry.device.path);
    fields.Byte("targetId", entry.device.target);
    fields.FixedBytes("identity", entry.identity, kVendorBlockSize);
    fields.FixedBytes("asRead", entry.asRead, kVendorBlockSize);
    fields.FixedBytes("written", entry.written, kVendorBlockSize);
}

// Both blocks and the INQUIRY data of a backup (`blocks`), as the backup file holds them.
template <typename Backup, typename Fields>
void BackupFields(Backup& backup, Fields& fields) {
    fields.FixedBytes("inquiry", backup.inquiry, kInquiryLength);
    fields.FixedBytes("identityBlock", backup.identity, kVendorBlockSize);
    fields.FixedBytes("configBlock", backup.info, kVendorBlockSize);
    fields.Letter("lun0", backup.lun0Letter);
    fields.Letter("lun1", backup.lun1Letter);
    fields.Letter("target", backup.target);
}

}  // namespace vardel::service
