// The journal's reader on arbitrary text: it accepts a text or refuses it with a problem, nothing
// else. What it accepts, written again as the writer writes it, reads back the same entries.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "journal/journal_text.h"

namespace {

using vardel::frontend::JournalEntry;

bool SameEntry(const JournalEntry& a, const JournalEntry& b) {
    return a.time == b.time && a.number == b.number && a.command == b.command && a.tool == b.tool &&
           a.serial == b.serial && a.target == b.target &&
           a.device.addressKnown == b.device.addressKnown && a.device.port == b.device.port &&
           a.device.path == b.device.path && a.device.target == b.device.target &&
           std::memcmp(a.identity, b.identity, sizeof a.identity) == 0 &&
           std::memcmp(a.asRead, b.asRead, sizeof a.asRead) == 0 &&
           std::memcmp(a.written, b.written, sizeof a.written) == 0;
}

// The writer never writes a control character; it puts '?' in its place.
bool WritableText(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<JournalEntry> entries;
    std::string problem;
    if (!vardel::frontend::ParseJournalText(text, entries, problem)) {
        VARDEL_FUZZ_CHECK(!problem.empty() && entries.empty());
        return 0;
    }
    for (const JournalEntry& entry : entries) {
        if (!WritableText(entry.time) || !WritableText(entry.command) ||
            !WritableText(entry.tool) || !WritableText(entry.serial) ||
            static_cast<unsigned char>(entry.target) < 0x20) {
            return 0;
        }
    }
    std::vector<JournalEntry> again;
    const bool read =
        vardel::frontend::ParseJournalText(vardel::frontend::JournalText(entries), again, problem);
    VARDEL_FUZZ_CHECK(read);
    VARDEL_FUZZ_CHECK(again.size() == entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        VARDEL_FUZZ_CHECK(SameEntry(entries[i], again[i]));
    }
    return 0;
}
