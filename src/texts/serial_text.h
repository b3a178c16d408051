#pragma once
// A device key as the user reads and types it: the serial's first twelve characters when that is
// all the key holds (the usual case), otherwise "hex:" and its 24 bytes.

#include <string>

#include "drive/device_key.h"

namespace vardel::frontend {

std::string SerialTextOf(const DeviceKey& key);

// The key of a serial as `list` shows it, or as printed on the drive: only its first twelve
// characters enter the key. False for a text that is no key.
bool DeviceKeyFromSerialText(const std::string& text, DeviceKey& key);

// The whole serial of an identity block, as a restore compares it: its characters when each is
// plain ASCII, otherwise "hex:" and the descriptor's bytes; empty for a block without serial.
std::string SerialOfIdentity(const VendorBlock& identity);

}  // namespace vardel::frontend
