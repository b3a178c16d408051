#pragma once
// What the program writes to FunctionFS's ep0 before the gadget can be bound: the function's
// descriptors (v2 format, full and high speed) and its strings. One interface of class mass
// storage, subclass SCSI transparent command set, protocol Bulk-Only, with a bulk-in and a bulk-out
// endpoint. FunctionFS makes one file per endpoint, numbered in the order of the descriptors:
// ep1 is bulk-in, ep2 bulk-out.

#include <cstdint>
#include <vector>

namespace vardel::usb {

constexpr const char* kBulkInFile = "ep1";
constexpr const char* kBulkOutFile = "ep2";
constexpr std::uint8_t kInterfaceNumber = 0;

std::vector<std::uint8_t> FunctionDescriptors();
std::vector<std::uint8_t> FunctionStrings();

}  // namespace vardel::usb
