#pragma once
// The handler's command line: which uio devices it serves (one per LUN of the one drive it
// plays), and the options every drive program shares (tools/scsi_drive/drive_options.h).
//
//   vardel_tcmu_handler --uio uio0 [--uio uio1] [drive options]
//
//   --uio NAME          a uio device of a `user` backstore; the first is LUN 0, the second LUN 1

#include <string>
#include <vector>

#include "scsi_drive/drive_options.h"

namespace vardel::tcmu {

struct HandlerOptions {
    std::vector<std::string> uioNames;
    scsi_drive::DriveOptions drive;
};

// 0 and the options, or 64 and a message naming the bad argument.
int ParseHandlerOptions(int argc, const char* const* argv, HandlerOptions& options,
                        std::string& error);

}  // namespace vardel::tcmu
