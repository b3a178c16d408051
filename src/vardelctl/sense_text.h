#pragma once
// SCSI status and sense in words are the window's too: they live with what both front ends share.

#include "frontend_common/sense_text.h"

namespace vardel::cli {
using frontend::AdditionalSenseName;
using frontend::DescribeAnswer;
using frontend::ScsiStatusName;
using frontend::SenseKeyName;
}  // namespace vardel::cli
