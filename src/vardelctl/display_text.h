#pragma once
// Drive and system texts made safe to show live with what both front ends share.

#include "frontend_common/display_text.h"

namespace vardel::cli {
using frontend::DisplayText;
}  // namespace vardel::cli
