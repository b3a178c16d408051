#include "tcmu/handler_options.h"

namespace vardel::tcmu {

int ParseHandlerOptions(int argc, const char* const* argv, HandlerOptions& options,
                        std::string& error) {
    constexpr std::size_t kMaxLuns = 2;
    if (const int usage =
            scsi_drive::ParseDriveOptions(argc, argv, {"--uio"}, options.drive, error)) {
        return usage;
    }
    for (const auto& option : options.drive.transport) options.uioNames.push_back(option.second);
    if (options.uioNames.empty() || options.uioNames.size() > kMaxLuns) {
        error = "give one or two --uio devices";
        return scsi_drive::kUsage;
    }
    return 0;
}

}  // namespace vardel::tcmu
