#include "vardelctl/block_changes.h"

#include "texts/hex_text.h"

namespace vardel::cli {

std::vector<ByteChange> WrittenBytesChanged(const VendorBlock& asRead, const VendorBlock& toWrite) {
    std::vector<ByteChange> changes;
    for (std::size_t i = 0; i < kVendorWriteLength; ++i) {
        if (asRead[i] != toWrite[i]) changes.push_back({i, asRead[i], toWrite[i]});
    }
    return changes;
}

std::string ByteChangeText(const ByteChange& change) {
    return std::to_string(change.offset) + ": " + frontend::ByteText(change.from) + " -> " +
           frontend::ByteText(change.to);
}

}  // namespace vardel::cli
