#pragma once
// The disks a scan passed over that may hold a drive of the kind (ScanRecord::unanswered), named
// for the user: the letter, the system's nodes where it names them, and why the disk did not
// answer. Every front end says it in these words.

#include <string>
#include <vector>

#include "drive/discovery.h"

namespace vardel::frontend {

struct UnansweredDisk {
    char letter = 0;
    std::vector<std::string> paths;  // the system's nodes, where it names them
    bool withSignature = false;      // it showed the signature; its identity block failed
    std::string why;                 // "its identity block could not be read: ..."
};

// In letter order. `machine`: the system may name the nodes; `nativeErrors`: its error codes can
// be put in words (the emulated machine speaks another system's codes).
std::vector<UnansweredDisk> UnansweredDisks(const ScanRecord& scan, bool machine,
                                            bool nativeErrors);

// "F: (/dev/sdf, /dev/sg3), which carries the drive's signature: its identity block could not be
// read, ..."; several joined by "; ".
std::string UnansweredDisksText(const std::vector<UnansweredDisk>& disks);

}  // namespace vardel::frontend
