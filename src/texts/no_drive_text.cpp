#include "texts/no_drive_text.h"

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
        "modprobe sg). The udev rule /usr/lib/udev/rules.d/70-vardel.rules gives that node to "
        "the drive service's group vardel while the drive is attached, and to nobody else; "
        "check it with `ls -l /dev/sg*` (group vardel, crw-rw----).";
    if (facts.noRightsDisks == 0 || facts.runsAsRoot) return text;
    if (facts.throughService) {
        text += "\nThe drive service could not open them: install the rule and replug the drive";
    } else {
        text += "\nWithout root, leave out --direct: the drive service opens them";
    }
    if (facts.program != nullptr) {
        text += std::string(", or run it as root: sudo ") + facts.program + " ...";
    }
    return text + ".";
}

}  // namespace vardel::frontend
