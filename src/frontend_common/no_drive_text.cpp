#include "frontend_common/no_drive_text.h"

namespace vardel::frontend {
namespace {

std::string Count(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string WhatWasSeen(const NoDriveFacts& facts) {
    const ScanRecord& scan = facts.scan;
    if (scan.letters == 0) return "No disk was there to look at.";
    std::string text = "Looked at " + Count(scan.letters, "disk", "disks") + ": " +
                       std::to_string(scan.answeredInquiry) + " answered INQUIRY, ";
    text += scan.withSignature == 0
                ? std::string("none carries the drive's signature")
                : std::to_string(scan.withSignature) +
                      (scan.withSignature == 1 ? " carries" : " carry") +
                      " the signature but none answered as the drive looked for (an identity "
                      "block not read whole, or another drive than the one asked for)";
    if (facts.noRightsDisks > 0) {
        text += "; " + Count(facts.noRightsDisks, "disk", "disks") +
                " could not be opened for lack of rights";
    }
    return text + ".";
}

}  // namespace

std::string NoDriveGuidance(const NoDriveFacts& facts) {
    std::string text = WhatWasSeen(facts) + "\n";
    text +=
        "Plug the drive in (or replug it) and try again; `vardelctl list` shows every drive "
        "that discovery finds.";
    if (!facts.linuxMachine && facts.noRightsDisks == 0) return text;
    text +=
        "\nThe drive is reached through its SCSI generic node /dev/sgN (the sg driver: "
        "modprobe sg). The udev rule /usr/lib/udev/rules.d/70-vardel.rules gives the user "
        "at the seat read and write access to that node while the drive is attached; check "
        "it with `ls -l /dev/sg*` and `getfacl /dev/sgN` (your user in the list).";
    if (facts.noRightsDisks > 0 && !facts.runsAsRoot && facts.program != nullptr) {
        text += std::string("\nWithout the rule, run it as root: sudo ") + facts.program + " ...";
    }
    return text;
}

}  // namespace vardel::frontend
