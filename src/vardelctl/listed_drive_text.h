#pragma once
// What `list` shows of a listed drive, in the text and the JSON alike.

#include <cstddef>
#include <string>

#include "commands/device_listing.h"

namespace vardel::cli {

// A listed drive's whole serial as `list` shows it and --device takes it; "(none)" without one.
std::string SerialShown(const ListedDevice& device);

// Trimmed text of INQUIRY bytes [offset, offset + length): 8, 8 the vendor, 16, 16 the product,
// 32, 4 the revision.
std::string InquiryText(const InquiryData& inquiry, std::size_t offset, std::size_t length);

}  // namespace vardel::cli
