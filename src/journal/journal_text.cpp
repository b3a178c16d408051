#include "journal/journal_text.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "drive/device_key.h"
#include "texts/hex_text.h"
#include "texts/whole_serial.h"

namespace vardel::frontend {
namespace {

constexpr std::size_t kHexLineBytes = 16;
constexpr char kEntryFormat[] = "vardel-backup";
constexpr char kFooter[] = "]}\n";

// The JSON that a journal holds: objects, arrays, strings, whole numbers and null. The Windows
// dialog links this reader, so it stays this small rather than take a general JSON library in.
struct Value {
    enum Kind { Null, Number, String, Array, Object } kind = Null;
    std::uint32_t number = 0;
    std::string text;
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;

    const Value* Member(const char* name) const {
        for (const auto& [key, value] : members) {
            if (key == name) return &value;
        }
        return nullptr;
    }
};

constexpr int kMostDepth = 8;

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool Document(Value& value, std::string& problem) {
        if (!Read(value, 0)) {
            problem = problem_ + " at byte " + std::to_string(at_);
            return false;
        }
        Space();
        if (at_ != text_.size()) {
            problem = "text after the journal at byte " + std::to_string(at_);
            return false;
        }
        return true;
    }

  private:
    void Space() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' ||
                                      text_[at_] == '\r' || text_[at_] == '\t')) {
            ++at_;
        }
    }

    bool Fail(const char* what) {
        problem_ = what;
        return false;
    }

    bool Take(char c) {
        Space();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool Read(Value& value, int depth) {
        if (depth > kMostDepth) return Fail("nested too deep");
        Space();
        if (at_ >= text_.size()) return Fail("unexpected end");
        const char c = text_[at_];
        if (c == '{') return ReadObject(value, depth);
        if (c == '[') return ReadArray(value, depth);
        if (c == '"') {
            value.kind = Value::String;
            return ReadString(value.text);
        }
        if (text_.compare(at_, 4, "null") == 0) {
            at_ += 4;
            value.kind = Value::Null;
            return true;
        }
        if (c >= '0' && c <= '9') {
            value.kind = Value::Number;
            std::uint64_t number = 0;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
                number = number * 10 + static_cast<std::uint64_t>(text_[at_++] - '0');
                if (number > 0xFFFFFFFFu) return Fail("number too large");
            }
            value.number = static_cast<std::uint32_t>(number);
            return true;
        }
        return Fail("expected a value");
    }

    bool ReadString(std::string& out) {
        ++at_;  // the opening quote
        out.clear();
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) break;
            const char escaped = text_[at_++];
            if (escaped != '"' && escaped != '\\' && escaped != '/') {
                return Fail("an escape the journal never writes");
            }
            out += escaped;
        }
        return Fail("unterminated string");
    }

    bool ReadArray(Value& value, int depth) {
        ++at_;
        value.kind = Value::Array;
        if (Take(']')) return true;
        do {
            value.items.emplace_back();
            if (!Read(value.items.back(), depth + 1)) return false;
        } while (Take(','));
        return Take(']') || Fail("expected , or ]");
    }

    bool ReadObject(Value& value, int depth) {
        ++at_;
        value.kind = Value::Object;
        if (Take('}')) return true;
        do {
            Space();
            std::string key;
            if (at_ >= text_.size() || text_[at_] != '"' || !ReadString(key)) {
                return Fail("expected a quoted name");
            }
            if (!Take(':')) return Fail("expected :");
            value.members.emplace_back(std::move(key), Value());
            if (!Read(value.members.back().second, depth + 1)) return false;
        } while (Take(','));
        return Take('}') || Fail("expected , or }");
    }

    const std::string& text_;
    std::size_t at_ = 0;
    std::string problem_;
};

std::string TextOf(const Value& entry, const char* name) {
    const Value* found = entry.Member(name);
    return found != nullptr && found->kind == Value::String ? found->text : "";
}

bool ReadBlock(const Value& entry, const char* name, VendorBlock& block, std::string& problem) {
    const Value* found = entry.Member(name);
    if (found == nullptr) {
        problem = std::string(name) + ": missing";
        return false;
    }
    std::string text;
    if (found->kind == Value::String) {
        text = found->text;
    } else if (found->kind == Value::Array) {
        for (const Value& line : found->items) {
            if (line.kind != Value::String) {
                problem =
                    std::string(name) + ": expected an array of strings of hexadecimal digits";
                return false;
            }
            text += line.text;
        }
    } else {
        problem = std::string(name) + ": expected hexadecimal text, or an array of lines of it";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!BytesFromHex(text, bytes)) {
        problem = std::string(name) + ": expected hexadecimal digits in pairs";
        return false;
    }
    if (bytes.size() != kVendorBlockSize) {
        problem = std::string(name) + ": expected " + std::to_string(kVendorBlockSize) +
                  " bytes, found " + std::to_string(bytes.size());
        return false;
    }
    std::memcpy(block, bytes.data(), kVendorBlockSize);
    return true;
}

// "device": {"port": 4, "path": 0, "target": 0}, or null (or absent, in entries written before
// the journal named the place) when the system told no address.
bool ReadPlace(const Value& entry, PhysicalDevice& device, std::string& problem) {
    const Value* found = entry.Member("device");
    if (found == nullptr || found->kind == Value::Null) return true;
    std::uint8_t* const parts[] = {&device.port, &device.path, &device.target};
    const char* const names[] = {"port", "path", "target"};
    for (std::size_t i = 0; i < 3; ++i) {
        const Value* part = found->kind == Value::Object ? found->Member(names[i]) : nullptr;
        if (part == nullptr || part->kind != Value::Number || part->number > 0xFF) {
            problem = std::string("device: expected null or port, path and target from 0 to 255");
            return false;
        }
        *parts[i] = static_cast<std::uint8_t>(part->number);
    }
    device.addressKnown = true;
    return true;
}

bool ReadEntry(const Value& item, JournalEntry& entry, std::string& problem) {
    if (item.kind != Value::Object) {
        problem = "expected an object";
        return false;
    }
    if (TextOf(item, "format") != kEntryFormat) {
        problem = std::string("format: expected \"") + kEntryFormat + "\"";
        return false;
    }
    entry.time = TextOf(item, "time");
    if (const Value* number = item.Member("number"); number != nullptr) {
        if (number->kind != Value::Number) {
            problem = "number: expected a whole number";
            return false;
        }
        entry.number = number->number;
    }
    entry.command = TextOf(item, "command");
    entry.tool = TextOf(item, "tool");
    entry.serial = TextOf(item, "serial");
    if (const Value* letters = item.Member("letters");
        letters != nullptr && letters->kind == Value::Object) {
        const std::string target = TextOf(*letters, "target");
        if (target.size() == 1) entry.target = target[0];
    }
    if (!ReadPlace(item, entry.device, problem) ||
        !ReadBlock(item, "identityBlock", entry.identity, problem) ||
        !ReadBlock(item, "configBlock", entry.asRead, problem) ||
        !ReadBlock(item, "writtenBlock", entry.written, problem)) {
        return false;
    }
    entry.key = ExtractDeviceKey(entry.identity);
    entry.device.key = entry.key;
    return true;
}

// The texts are the program's own and serials of printable ASCII: only quotes and backslashes
// need escaping; anything below a space (none is expected) becomes '?'.
std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
    }
    return quoted + "\"";
}

// As a backup file keeps a block: lines of 16 bytes.
std::string HexLinesJson(const VendorBlock& block) {
    std::string lines = "[";
    for (std::size_t at = 0; at < kVendorBlockSize; at += kHexLineBytes) {
        if (at != 0) lines += ", ";
        lines += "\"" + HexOf(block + at, kHexLineBytes) + "\"";
    }
    return lines + "]";
}

std::string Header() {
    return std::string("{\"format\": \"") + kJournalFileFormat +
           "\", \"formatVersion\": " + std::to_string(kJournalFileFormatVersion) +
           ", \"entries\": [\n";
}

}  // namespace

bool ParseJournalText(const std::string& text, std::vector<JournalEntry>& entries,
                      std::string& problem) {
    entries.clear();
    problem.clear();
    if (text.empty()) return true;
    Value document;
    if (!Reader(text).Document(document, problem)) {
        problem = "not valid JSON (" + problem + ")";
        return false;
    }
    const Value* format = document.Member("format");
    const Value* version = document.Member("formatVersion");
    const Value* items = document.Member("entries");
    if (format == nullptr || format->kind != Value::String || format->text != kJournalFileFormat ||
        version == nullptr || version->kind != Value::Number ||
        version->number != static_cast<std::uint32_t>(kJournalFileFormatVersion) ||
        items == nullptr || items->kind != Value::Array) {
        problem = std::string("is not a journal of format ") + kJournalFileFormat + " " +
                  std::to_string(kJournalFileFormatVersion);
        return false;
    }
    entries.resize(items->items.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!ReadEntry(items->items[i], entries[i], problem)) {
            problem = "entry " + std::to_string(i + 1) + ": " + problem;
            entries.clear();
            return false;
        }
    }
    return true;
}

std::string JournalEntryLine(const JournalEntry& entry) {
    std::string line = std::string("{\"format\": \"") + kEntryFormat + "\", \"formatVersion\": 1";
    line += ", \"tool\": " + JsonString(entry.tool);
    line += ", \"time\": " + JsonString(entry.time);
    line += ", \"number\": " + std::to_string(entry.number);
    line += ", \"command\": " + JsonString(entry.command);
    line += ", \"serial\": " + JsonString(entry.serial);
    line += ", \"deviceKey\": \"" + HexOf(entry.key.bytes, kDeviceKeySize) + "\"";
    line += ", \"letters\": {\"target\": " +
            (entry.target != 0 ? JsonString(std::string(1, entry.target)) : "null") + "}";
    line += ", \"device\": ";
    if (entry.device.addressKnown) {
        line += "{\"port\": " + std::to_string(entry.device.port) +
                ", \"path\": " + std::to_string(entry.device.path) +
                ", \"target\": " + std::to_string(entry.device.target) + "}";
    } else {
        line += "null";
    }
    line += ", \"identityBlock\": " + HexLinesJson(entry.identity);
    line += ", \"configBlock\": " + HexLinesJson(entry.asRead);
    line += ", \"writtenBlock\": " + HexLinesJson(entry.written);
    return line + "}";
}

std::string JournalText(const std::vector<JournalEntry>& entries) {
    std::string text = Header();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += JournalEntryLine(entries[i]);
        text += i + 1 < entries.size() ? ",\n" : "\n";
    }
    return text + kFooter;
}

bool MadeAt(const JournalEntry& entry, const PhysicalDevice& device) {
    if (entry.device.addressKnown != device.addressKnown) return false;
    return !device.addressKnown ||
           (entry.device.port == device.port && entry.device.path == device.path &&
            entry.device.target == device.target);
}

std::string AddressText(const PhysicalDevice& device) {
    if (!device.addressKnown) return "unknown";
    return std::to_string(device.port) + ":" + std::to_string(device.path) + ":" +
           std::to_string(device.target);
}

}  // namespace vardel::frontend
