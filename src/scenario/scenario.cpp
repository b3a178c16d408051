#include "scenario/scenario.h"

#include <initializer_list>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "drive/lun_type.h"
#include "drive/vendor_blocks.h"
#include "files/file_io.h"
#include "scenario/json_bytes.h"
#include "texts/hex_text.h"

namespace vardel::frontend {
namespace {

using Json = nlohmann::ordered_json;

// Inquiry fields: offset and room, as the INQUIRY data lays them out.
struct InquiryField {
    const char* name;
    std::size_t offset;
    std::size_t length;
};
constexpr InquiryField kInquiryFields[] = {
    {"vendor", 8, 8}, {"product", 16, 16}, {"revision", 32, 4}, {"signature", 36, 8}};

struct NamedOperation {
    const char* name;
    emulated::Operation operation;
};
constexpr NamedOperation kOperations[] = {{"open", emulated::Operation::Open},
                                          {"inquiry", emulated::Operation::Inquiry},
                                          {"readConfig", emulated::Operation::ReadConfig},
                                          {"readIdentity", emulated::Operation::ReadIdentity},
                                          {"write", emulated::Operation::Write},
                                          {"other", emulated::Operation::OtherCommand},
                                          {"address", emulated::Operation::Address}};

struct NamedEffect {
    const char* name;
    emulated::FaultEffect effect;
};
constexpr NamedEffect kEffects[] = {{"failOpen", emulated::FaultEffect::FailOpen},
                                    {"failControl", emulated::FaultEffect::FailControl},
                                    {"scsiStatus", emulated::FaultEffect::ScsiStatus},
                                    {"unitAttention", emulated::FaultEffect::UnitAttention}};

// Reads values out of the document, naming the place of anything wrong.
class Reader {
  public:
    explicit Reader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void Fail(const std::string& place, const std::string& what) const {
        throw ScenarioError(file_ + ": " + (place.empty() ? "" : place + ": ") + what);
    }

    void Object(const Json& value, const std::string& place,
                std::initializer_list<const char*> allowed) const {
        if (!value.is_object()) Fail(place, "expected an object");
        for (auto it = value.begin(); it != value.end(); ++it) {
            bool known = false;
            for (const char* name : allowed) known |= it.key() == name;
            if (!known) Fail(Join(place, it.key()), "unknown field");
        }
    }

    const Json& Array(const Json& value, const std::string& place) const {
        if (!value.is_array()) Fail(place, "expected an array");
        return value;
    }

    std::string Text(const Json& value, const std::string& place) const {
        if (!value.is_string()) Fail(place, "expected a string");
        return value.get<std::string>();
    }

    long long Integer(const Json& value, const std::string& place, long long low,
                      long long high) const {
        if (!value.is_number_integer()) Fail(place, "expected a whole number");
        if (value.is_number_unsigned() && value.get<unsigned long long>() > 0x7FFFFFFFull) {
            Fail(place,
                 "expected a number from " + std::to_string(low) + " to " + std::to_string(high));
        }
        const long long number = value.get<long long>();
        if (number < low || number > high) {
            Fail(place,
                 "expected a number from " + std::to_string(low) + " to " + std::to_string(high));
        }
        return number;
    }

    // A number, or "0x" and hexadecimal digits.
    std::uint32_t Hex32(const Json& value, const std::string& place, std::uint32_t high) const {
        if (value.is_string()) {
            const std::string text = value.get<std::string>();
            std::uint64_t number = 0;
            bool ok = text.size() > 2 && text.size() <= 10 && text[0] == '0' &&
                      (text[1] == 'x' || text[1] == 'X');
            for (std::size_t i = 2; ok && i < text.size(); ++i) {
                const char c = text[i];
                const int digit = c >= '0' && c <= '9'   ? c - '0'
                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : -1;
                ok = digit >= 0;
                number = number * 16 + static_cast<std::uint64_t>(digit < 0 ? 0 : digit);
            }
            if (ok && number <= high) return static_cast<std::uint32_t>(number);
        } else if (value.is_number_unsigned() && value.get<std::uint64_t>() <= high) {
            return static_cast<std::uint32_t>(value.get<std::uint64_t>());
        }
        std::ostringstream range;
        range << "expected a number from 0 to " << high << ", or \"0x\" and hexadecimal digits";
        Fail(place, range.str());
    }

    std::uint8_t Byte(const Json& value, const std::string& place) const {
        return static_cast<std::uint8_t>(Hex32(value, place, 0xFF));
    }

    bool Flag(const Json& value, const std::string& place) const {
        if (!value.is_boolean()) Fail(place, "expected true or false");
        return value.get<bool>();
    }

    char Letter(const Json& value, const std::string& place) const {
        const std::string text = Text(value, place);
        const char c = text.size() == 1 ? text[0] : 0;
        if (c >= 'A' && c <= 'Z') return c;
        if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
        Fail(place, "expected a drive letter A..Z");
    }

    BlockFill Fill(const Json& value, const std::string& place) const {
        BlockFill fill;
        if (value.is_string() && value.get<std::string>() == "pattern") return fill;
        if (value.is_string() && value.get<std::string>().rfind("0x", 0) != 0) {
            Fail(place, "expected \"pattern\" or a byte");
        }
        fill.pattern = false;
        fill.value = Byte(value, place);
        return fill;
    }

    emulated::Block WholeBlock(const Json& value, const std::string& place) const {
        std::vector<std::uint8_t> bytes;
        std::string problem;
        if (!BytesFromJson(value, emulated::kBlockSize, bytes, problem)) Fail(place, problem);
        emulated::Block block;
        std::copy(bytes.begin(), bytes.end(), block.begin());
        return block;
    }

    static std::string Join(const std::string& place, const std::string& key) {
        return place.empty() ? key : place + "." + key;
    }
    static std::string Index(const std::string& place, std::size_t i) {
        return place + "[" + std::to_string(i) + "]";
    }

  private:
    std::string file_;
};

emulated::Block Filled(const BlockFill& fill) {
    if (fill.pattern) return emulated::PatternBlock();
    emulated::Block block;
    block.fill(fill.value);
    return block;
}

// The configuration block the "config" fields describe.
emulated::Block ConfigBlockOf(const BlockFill& fill, std::uint8_t selector, std::uint8_t slotA,
                              std::uint8_t slotB) {
    emulated::Block block = Filled(fill);
    block[kLayoutSelectorOffset] = selector;
    block[kTypeSlotAOffset] = slotA;
    block[kTypeSlotBOffset] = slotB;
    return block;
}

void ReadInquiry(const Reader& reader, const Json& value, const std::string& place,
                 emulated::Drive& drive) {
    reader.Object(value, place, {"vendor", "product", "revision", "signature"});
    for (const InquiryField& field : kInquiryFields) {
        if (!value.contains(field.name)) continue;
        const std::string where = Reader::Join(place, field.name);
        const std::string text = reader.Text(value[field.name], where);
        if (text.size() > field.length) {
            reader.Fail(where, "longer than " + std::to_string(field.length) + " characters");
        }
        emulated::SetInquiryText(drive, field.offset, field.length, text.c_str());
    }
}

void ReadIdentity(const Reader& reader, const Json& value, const std::string& place,
                  emulated::Drive& drive) {
    reader.Object(value, place, {"serial", "layoutMarker", "fill"});
    BlockFill fill;
    if (value.contains("fill")) fill = reader.Fill(value["fill"], Reader::Join(place, "fill"));
    drive.identityBlock = Filled(fill);
    drive.identityBlock[kLayoutMarkerOffset] = 0;
    drive.identityBlock[kLunIndexOffset] = 0;
    const std::string serialPlace = Reader::Join(place, "serial");
    if (!value.contains("serial")) {
        emulated::SetSerial(drive, "VD0000000001");
    } else if (value["serial"].is_null()) {
        drive.identityBlock[kSerialPresentOffset] = 0;
    } else {
        const std::string serial = reader.Text(value["serial"], serialPlace);
        if (serial.size() > 126) reader.Fail(serialPlace, "longer than 126 characters");
        emulated::SetSerial(drive, serial.c_str());
    }
    if (value.contains("layoutMarker")) {
        drive.identityBlock[kLayoutMarkerOffset] =
            reader.Byte(value["layoutMarker"], Reader::Join(place, "layoutMarker"));
    }
}

void ReadConfig(const Reader& reader, const Json& value, const std::string& place, BlockFill& fill,
                emulated::Drive& drive) {
    reader.Object(value, place, {"layoutSelector", "typeSlotA", "typeSlotB", "fill"});
    if (value.contains("fill")) fill = reader.Fill(value["fill"], Reader::Join(place, "fill"));
    auto byteOr = [&](const char* name, std::uint8_t otherwise) {
        return value.contains(name) ? reader.Byte(value[name], Reader::Join(place, name))
                                    : otherwise;
    };
    drive.configBlock =
        ConfigBlockOf(fill, byteOr("layoutSelector", 0), byteOr("typeSlotA", kLunTypeRemovable),
                      byteOr("typeSlotB", kLunTypeFixedDisk));
}

void ReadFirmware(const Reader& reader, const Json& value, const std::string& place,
                  emulated::Drive& drive) {
    reader.Object(value, place, {"identityBytes", "configBytes", "keepsWrites"});
    const auto size = static_cast<long long>(emulated::kBlockSize);
    if (value.contains("identityBytes")) {
        drive.identityReturned = static_cast<std::size_t>(
            reader.Integer(value["identityBytes"], Reader::Join(place, "identityBytes"), 0, size));
    }
    if (value.contains("configBytes")) {
        drive.configReturned = static_cast<std::size_t>(
            reader.Integer(value["configBytes"], Reader::Join(place, "configBytes"), 0, size));
    }
    if (value.contains("keepsWrites")) {
        drive.keepsWrites = reader.Flag(value["keepsWrites"], Reader::Join(place, "keepsWrites"));
    }
}

emulated::Fault ReadFault(const Reader& reader, const Json& value, const std::string& place) {
    reader.Object(value, place, {"letter", "operation", "effect", "code", "skip", "times"});
    emulated::Fault fault;
    if (value.contains("letter")) {
        fault.letter = reader.Letter(value["letter"], Reader::Join(place, "letter"));
    }
    for (const char* required : {"operation", "effect"}) {
        if (!value.contains(required)) reader.Fail(Reader::Join(place, required), "missing");
    }
    const std::string operation = reader.Text(value["operation"], Reader::Join(place, "operation"));
    bool known = false;
    for (const NamedOperation& named : kOperations) {
        if (operation == named.name) {
            fault.operation = named.operation;
            known = true;
        }
    }
    if (!known) {
        reader.Fail(Reader::Join(place, "operation"),
                    "expected open, inquiry, readConfig, readIdentity, write, other or address");
    }
    const std::string effect = reader.Text(value["effect"], Reader::Join(place, "effect"));
    known = false;
    for (const NamedEffect& named : kEffects) {
        if (effect == named.name) {
            fault.effect = named.effect;
            known = true;
        }
    }
    if (!known) {
        reader.Fail(Reader::Join(place, "effect"),
                    "expected failOpen, failControl, scsiStatus or unitAttention");
    }
    if ((fault.effect == emulated::FaultEffect::FailOpen) !=
        (fault.operation == emulated::Operation::Open)) {
        reader.Fail(place, "failOpen goes with the operation open, and only with it");
    }
    // The address question reaches no drive, so it has no SCSI status to fake.
    if (fault.operation == emulated::Operation::Address &&
        fault.effect != emulated::FaultEffect::FailControl) {
        reader.Fail(place, "the operation address takes only the effect failControl");
    }
    if (fault.effect == emulated::FaultEffect::UnitAttention) {
        // Its status and sense are always the same, so a code would be silently ignored.
        if (value.contains("code")) {
            reader.Fail(Reader::Join(place, "code"), "a unitAttention fault takes no code");
        }
    } else {
        if (!value.contains("code")) reader.Fail(Reader::Join(place, "code"), "missing");
        // The emulator reports a fault's code as the call's own result: code 0 would be a call
        // that succeeded without reaching the drive (a read "whole" with a zeroed buffer, a block
        // a command could then write), and the SCSI status is one byte, so 0x100 would read as
        // GOOD as well.
        const bool scsiStatus = fault.effect == emulated::FaultEffect::ScsiStatus;
        fault.code = reader.Hex32(value["code"], Reader::Join(place, "code"),
                                  scsiStatus ? 0xFFu : 0xFFFFFFFFu);
        if (fault.code == 0) {
            reader.Fail(Reader::Join(place, "code"),
                        scsiStatus ? "a scsiStatus fault needs a status other than 0 (GOOD)"
                                   : "a fault needs an error code other than 0 (success)");
        }
    }
    if (value.contains("skip")) {
        fault.skip = static_cast<int>(
            reader.Integer(value["skip"], Reader::Join(place, "skip"), 0, 1000000));
    }
    if (value.contains("times")) {
        fault.times = static_cast<int>(
            reader.Integer(value["times"], Reader::Join(place, "times"), -1, 1000000));
    }
    return fault;
}

// Parses the text, refusing a key given twice in one object: the parser would keep the last one
// silently, and a slip (two "typeSlotA" where "typeSlotB" was meant) would go unseen, as an
// unknown field would without its check. The parser tells each object, array and key as it meets
// them, which is where the place of the second key is known.
Json ParseRefusingDuplicateKeys(const std::string& text, const Reader& reader) {
    struct Level {
        bool array = false;
        std::size_t elements = 0;  // an array's elements met so far
        std::string place;
        std::set<std::string> keys;
        std::string lastKey;
    };
    std::vector<Level> levels;
    // The place of the value that starts now, in the terms of Reader's messages.
    auto placeOfNext = [&levels]() {
        if (levels.empty()) return std::string();
        Level& parent = levels.back();
        return parent.array ? Reader::Index(parent.place, parent.elements++)
                            : Reader::Join(parent.place, parent.lastKey);
    };
    using Event = Json::parse_event_t;
    return Json::parse(text, [&](int, Event event, Json& parsed) {
        switch (event) {
            case Event::object_start:
            case Event::array_start: {
                Level level;
                level.array = event == Event::array_start;
                level.place = placeOfNext();
                levels.push_back(std::move(level));
                break;
            }
            case Event::object_end:
            case Event::array_end:
                levels.pop_back();
                break;
            case Event::key: {
                Level& object = levels.back();
                object.lastKey = parsed.get<std::string>();
                if (!object.keys.insert(object.lastKey).second) {
                    reader.Fail(Reader::Join(object.place, object.lastKey), "given twice");
                }
                break;
            }
            case Event::value:
                if (!levels.empty() && levels.back().array) ++levels.back().elements;
                break;
        }
        return true;
    });
}

}  // namespace

Scenario Scenario::Load(const std::string& path) {
    Scenario scenario;
    scenario.path_ = path;
    const Reader reader(path);

    std::string text;
    std::string problem;
    if (!ReadWholeFile(path, text, problem)) reader.Fail("", problem);
    try {
        scenario.document_ = ParseRefusingDuplicateKeys(text, reader);
    } catch (const Json::exception& error) {
        // A syntax error, or a number too large for any type (out_of_range).
        reader.Fail("", std::string("not valid JSON (") + error.what() + ")");
    }
    const Json& root = scenario.document_;
    reader.Object(root, "", {"version", "otherVolumes", "drives", "faults"});

    std::set<char> letters;
    auto claim = [&](char letter, const std::string& place) {
        if (!letters.insert(letter).second) {
            reader.Fail(place, std::string("the letter ") + letter + " is used twice");
        }
    };
    if (root.contains("version")) {
        scenario.hasVersion_ = true;
        scenario.version_ = reader.Hex32(root["version"], "version", 0xFFFFFFFFu);
    }
    if (root.contains("otherVolumes")) {
        const Json& others = reader.Array(root["otherVolumes"], "otherVolumes");
        for (std::size_t i = 0; i < others.size(); ++i) {
            const std::string place = Reader::Index("otherVolumes", i);
            const char letter = reader.Letter(others[i], place);
            claim(letter, place);
            scenario.otherVolumes_.push_back(letter);
        }
    }
    if (!root.contains("drives")) reader.Fail("drives", "missing");
    const Json& drives = reader.Array(root["drives"], "drives");
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const std::string place = Reader::Index("drives", i);
        const Json& value = drives[i];
        reader.Object(value, place,
                      {"volumes", "inquiry", "identity", "config", "configBlock", "firmware"});
        DriveEntry entry;
        entry.drive = emulated::StandardDrive();
        if (value.contains("volumes")) {
            const std::string volumesPlace = Reader::Join(place, "volumes");
            const Json& volumes = reader.Array(value["volumes"], volumesPlace);
            for (std::size_t v = 0; v < volumes.size(); ++v) {
                const std::string volumePlace = Reader::Index(volumesPlace, v);
                reader.Object(volumes[v], volumePlace, {"letter", "lun"});
                for (const char* required : {"letter", "lun"}) {
                    if (!volumes[v].contains(required)) {
                        reader.Fail(Reader::Join(volumePlace, required), "missing");
                    }
                }
                const std::string letterPlace = Reader::Join(volumePlace, "letter");
                const char letter = reader.Letter(volumes[v]["letter"], letterPlace);
                claim(letter, letterPlace);
                const auto lun = static_cast<std::uint8_t>(
                    reader.Integer(volumes[v]["lun"], Reader::Join(volumePlace, "lun"), 0, 255));
                entry.volumes.emplace_back(letter, lun);
            }
        }
        if (value.contains("inquiry")) {
            ReadInquiry(reader, value["inquiry"], Reader::Join(place, "inquiry"), entry.drive);
        }
        if (value.contains("identity")) {
            ReadIdentity(reader, value["identity"], Reader::Join(place, "identity"), entry.drive);
        }
        if (value.contains("config") && value.contains("configBlock")) {
            reader.Fail(place, "give either config or configBlock, not both");
        }
        if (value.contains("config")) {
            ReadConfig(reader, value["config"], Reader::Join(place, "config"), entry.configFill,
                       entry.drive);
        }
        if (value.contains("configBlock")) {
            entry.drive.configBlock =
                reader.WholeBlock(value["configBlock"], Reader::Join(place, "configBlock"));
            entry.wholeConfigBlock = true;
        }
        if (value.contains("firmware")) {
            ReadFirmware(reader, value["firmware"], Reader::Join(place, "firmware"), entry.drive);
        }
        scenario.drives_.push_back(entry);
    }
    if (root.contains("faults")) {
        const Json& faults = reader.Array(root["faults"], "faults");
        for (std::size_t i = 0; i < faults.size(); ++i) {
            scenario.faults_.push_back(ReadFault(reader, faults[i], Reader::Index("faults", i)));
        }
    }
    return scenario;
}

Scenario Scenario::LoadToChange(const std::string& path, std::uint32_t waitMilliseconds) {
    auto lock = std::make_shared<FileLock>();
    std::string problem;
    const FileLockResult locked = lock->Take(path, waitMilliseconds, problem);
    if (locked == FileLockResult::Busy) {
        throw ScenarioBusy(path + ": another program is changing this emulated drive");
    }
    // A file that cannot even be opened says why as the read does; one that reads but cannot
    // be locked is not run on unguarded.
    Scenario scenario = Load(path);
    if (locked == FileLockResult::Failed) throw ScenarioError(path + ": " + problem);
    scenario.lock_ = std::move(lock);
    return scenario;
}

void Scenario::HoldAndRefresh(emulated::EmulatedPlatform& platform,
                              std::uint32_t waitMilliseconds) {
    Scenario now = LoadToChange(path_, waitMilliseconds);
    if (now.drives_.size() != drives_.size()) {
        throw ScenarioError(path_ +
                            ": the file no longer describes the drives it did when the "
                            "program started; start it again");
    }
    for (std::size_t i = 0; i < drives_.size(); ++i) {
        const emulated::Block& inFile = now.drives_[i].drive.configBlock;
        if (inFile != drives_[i].drive.configBlock) {
            platform.DriveAt(static_cast<int>(i)).configBlock = inFile;
        }
    }
    *this = std::move(now);
}

void Scenario::SetUp(emulated::EmulatedPlatform& platform) const {
    if (hasVersion_) platform.SetVersionNumber(version_);
    for (char letter : otherVolumes_) platform.AddOtherVolume(letter);
    for (const DriveEntry& entry : drives_) {
        const int index = platform.AddDrive(entry.drive);
        for (const auto& [letter, lun] : entry.volumes) platform.AttachVolume(letter, index, lun);
    }
    for (const emulated::Fault& fault : faults_) platform.InjectFault(fault);
}

bool Scenario::SaveChanges(emulated::EmulatedPlatform& platform) {
    // The changes go into a copy, which becomes the saved state only once the file holds it: after
    // a failed write the next call finds the same changes and writes them again.
    std::optional<Scenario> next;
    for (std::size_t i = 0; i < drives_.size(); ++i) {
        const emulated::Block& now = platform.DriveAt(static_cast<int>(i)).configBlock;
        if (now == drives_[i].drive.configBlock) continue;
        if (!next) next = *this;
        next->UpdateDrive(i, now);
        next->drives_[i].drive.configBlock = now;
    }
    if (!next) return false;
    next->WriteFile();
    *this = std::move(*next);
    return true;
}

// Keeps the drive's entry in the form the user wrote it while that form can say what the block
// holds; otherwise the whole block is stored, so that no byte is lost.
void Scenario::UpdateDrive(std::size_t index, const emulated::Block& now) {
    DriveEntry& entry = drives_[index];
    Json& drive = document_["drives"][index];
    const emulated::Block described = ConfigBlockOf(entry.configFill, now[kLayoutSelectorOffset],
                                                    now[kTypeSlotAOffset], now[kTypeSlotBOffset]);
    if (!entry.wholeConfigBlock && described == now) {
        Json& config = drive["config"];
        if (config.is_null()) config = Json::object();
        const emulated::Block& before = entry.drive.configBlock;
        const struct {
            const char* name;
            std::size_t offset;
        } fields[] = {{"layoutSelector", kLayoutSelectorOffset},
                      {"typeSlotA", kTypeSlotAOffset},
                      {"typeSlotB", kTypeSlotBOffset}};
        for (const auto& field : fields) {
            if (now[field.offset] != before[field.offset]) {
                config[field.name] = ByteText(now[field.offset]);
            }
        }
        return;
    }
    drive.erase("config");
    drive["configBlock"] = HexLines(now.data(), now.size());
    entry.wholeConfigBlock = true;
}

void Scenario::WriteFile() const {
    std::string problem;
    if (WriteFileAtomically(path_, document_.dump(2) + '\n', true, problem) !=
        FileWriteResult::Written) {
        throw ScenarioError(path_ + ": " + problem);
    }
}

}  // namespace vardel::frontend
