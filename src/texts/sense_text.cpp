#include "texts/sense_text.h"

#include <cstdio>

#include "device/sense_key.h"

namespace vardel::frontend {
namespace {

struct StatusName {
    int status;
    const char* name;
};

constexpr StatusName kStatusNames[] = {
    {0x00, "GOOD"},       {0x02, "CHECK CONDITION"},      {0x04, "CONDITION MET"},
    {0x08, "BUSY"},       {0x18, "RESERVATION CONFLICT"}, {0x28, "TASK SET FULL"},
    {0x30, "ACA ACTIVE"}, {0x40, "TASK ABORTED"},
};

constexpr const char* kSenseKeyNames[16] = {
    "NO SENSE",       "RECOVERED ERROR", "NOT READY",      "MEDIUM ERROR",
    "HARDWARE ERROR", "ILLEGAL REQUEST", "UNIT ATTENTION", "DATA PROTECT",
    "BLANK CHECK",    "VENDOR SPECIFIC", "COPY ABORTED",   "ABORTED COMMAND",
    "RESERVED",       "VOLUME OVERFLOW", "MISCOMPARE",     "COMPLETED",
};

// ASCQ -1: any qualifier of that ASC, where the rest of the table names none more closely.
struct AdditionalSense {
    int asc;
    int ascq;
    const char* name;
};

constexpr AdditionalSense kAdditionalSenses[] = {
    {0x00, 0x00, "NO ADDITIONAL SENSE INFORMATION"},
    {0x04, 0x00, "LOGICAL UNIT NOT READY, CAUSE NOT REPORTABLE"},
    {0x04, 0x01, "LOGICAL UNIT IS IN PROCESS OF BECOMING READY"},
    {0x04, 0x02, "LOGICAL UNIT NOT READY, INITIALIZING COMMAND REQUIRED"},
    {0x04, -1, "LOGICAL UNIT NOT READY"},
    {0x08, -1, "LOGICAL UNIT COMMUNICATION FAILURE"},
    {0x0C, -1, "WRITE ERROR"},
    {0x11, -1, "UNRECOVERED READ ERROR"},
    {0x1A, 0x00, "PARAMETER LIST LENGTH ERROR"},
    {0x20, 0x00, "INVALID COMMAND OPERATION CODE"},
    {0x21, 0x00, "LOGICAL BLOCK ADDRESS OUT OF RANGE"},
    {0x24, 0x00, "INVALID FIELD IN CDB"},
    {0x25, 0x00, "LOGICAL UNIT NOT SUPPORTED"},
    {0x26, 0x00, "INVALID FIELD IN PARAMETER LIST"},
    {0x27, -1, "WRITE PROTECTED"},
    {0x28, 0x00, "NOT READY TO READY CHANGE, MEDIUM MAY HAVE CHANGED"},
    {0x29, -1, "POWER ON, RESET, OR BUS DEVICE RESET OCCURRED"},
    {0x2A, -1, "PARAMETERS CHANGED"},
    {0x3A, -1, "MEDIUM NOT PRESENT"},
    {0x3F, -1, "TARGET OPERATING CONDITIONS HAVE CHANGED"},
    {0x44, -1, "INTERNAL TARGET FAILURE"},
    {0x47, -1, "SCSI PARITY ERROR"},
    {0x4E, 0x00, "OVERLAPPED COMMANDS ATTEMPTED"},
};

std::string Hex(int value, int digits) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%0*X", digits, value);
    return text;
}

}  // namespace

const char* ScsiStatusName(int status) {
    for (const StatusName& entry : kStatusNames) {
        if (entry.status == status) return entry.name;
    }
    return nullptr;
}

const char* SenseKeyName(int key) {
    return key >= 0 && key < 16 ? kSenseKeyNames[key] : nullptr;
}

const char* AdditionalSenseName(int asc, int ascq) {
    for (const AdditionalSense& entry : kAdditionalSenses) {
        if (entry.asc == asc && (entry.ascq == ascq || entry.ascq == -1)) return entry.name;
    }
    return nullptr;
}

std::string DescribeAnswer(int status, const std::uint8_t* sense, std::size_t length) {
    const char* statusName = ScsiStatusName(status);
    std::string text = (statusName != nullptr ? std::string(statusName) : "status") + " (status " +
                       Hex(status, 2) + ")";
    const SenseFields fields = ReadSense(sense, length);
    if (fields.key < 0) return text + ", no sense data";
    text += ", sense ";
    text += SenseKeyName(fields.key);
    if (fields.asc < 0) return text + " (key " + Hex(fields.key, 1) + ")";
    if (const char* additional = AdditionalSenseName(fields.asc, fields.ascq)) {
        text += std::string(" / ") + additional;
    }
    return text + " (key " + Hex(fields.key, 1) + ", ASC " + Hex(fields.asc, 2) + ", ASCQ " +
           Hex(fields.ascq, 2) + ")";
}

}  // namespace vardel::frontend
