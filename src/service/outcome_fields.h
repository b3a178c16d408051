#pragma once
// The fields of a command's outcome in a reply, by name (docs/service.md, "Replies"): the service
// writes them and a client reads them through the same table, so that a name or a number cannot
// differ between the two ends. `Fields` is a writer (with const records) or a reader; it offers
// Enum, Bool, Byte, Uint, Int, Letter, Bytes and Dict.

#include <cstdint>

#include "commands/command_outcome.h"

namespace vardel::service {

// The failed device command's detail (`failedCommand`).
template <typename Detail, typename Fields>
void DetailFields(Detail& detail, Fields& fields) {
    fields.Enum("command", detail.command);
    fields.Letter("letter", detail.letter);
    fields.Bool("opened", detail.opened);
    fields.Bool("delivered", detail.delivered);
    fields.Uint("systemError", detail.systemError);
    fields.Byte("scsiStatus", detail.scsiStatus);
    fields.Bytes("sense", detail.sense, detail.senseLength);
    fields.Uint("bytesRequested", detail.bytesRequested);
    fields.Uint("bytesMoved", detail.bytesMoved);
}

// The status each unanswered disk ended with (`unansweredStatus`), by its letter.
template <typename Scan, typename Fields>
void UnansweredStatusFields(Scan& scan, Fields& fields) {
    static const char* const kLetters[kDriveLetterCount] = {
        "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
        "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z"};
    for (int i = 0; i < kDriveLetterCount; ++i) {
        if ((scan.unanswered & (1u << i)) != 0) fields.Int(kLetters[i], scan.unansweredStatus[i]);
    }
}

// What discovery looked at (`scan`), for the reason no drive was found, and the disks that did
// not answer.
template <typename Scan, typename Fields>
void ScanFields(Scan& scan, Fields& fields) {
    fields.Bool("done", scan.done);
    fields.Int("letters", scan.letters);
    fields.Int("answeredInquiry", scan.answeredInquiry);
    fields.Int("withSignature", scan.withSignature);
    fields.Uint("unanswered", scan.unanswered);
    fields.Uint("unansweredWithSignature", scan.unansweredWithSignature);
    fields.Dict("unansweredStatus", scan,
                [](auto& same, Fields& inner) { UnansweredStatusFields(same, inner); });
}

// A command's outcome (`outcome`).
template <typename Outcome, typename Fields>
void OutcomeFields(Outcome& outcome, Fields& fields) {
    fields.Enum("command", outcome.command);
    fields.Enum("code", outcome.code);
    fields.Letter("target", outcome.target);
    fields.Int("driveStatus", outcome.driveStatus);
    fields.Bool("swapped", outcome.swapped);
    fields.Bool("typesKnown", outcome.typesKnown);
    fields.Byte("lun0", outcome.types.lun0);
    fields.Byte("lun1", outcome.types.lun1);
    fields.Bool("changed", outcome.changed);
    fields.Enum("row", outcome.row);
    fields.Byte("requestedType", outcome.requestedType);
    fields.Bool("beforeKnown", outcome.beforeKnown);
    fields.Byte("beforeLun0", outcome.before.lun0);
    fields.Byte("beforeLun1", outcome.before.lun1);
    fields.Bool("writeSkipped", outcome.writeSkipped);
    fields.Bool("unchanged", outcome.unchanged);
    fields.Dict("failedCommand", outcome.failedCommand,
                [](auto& detail, Fields& inner) { DetailFields(detail, inner); });
    fields.Dict("scan", outcome.scan, [](auto& scan, Fields& inner) { ScanFields(scan, inner); });
}

}  // namespace vardel::service
