#pragma once
// The failure's detail line is the window's too: it lives with what both front ends share.

#include "frontend_common/failure_detail.h"

namespace vardel::cli {
using frontend::DeviceCommandName;
using frontend::FailureDetail;
}  // namespace vardel::cli
