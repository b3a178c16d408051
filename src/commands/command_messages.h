#pragma once
// The messages the commands end with, as the user sees them. Every front end shows these texts and
// no others for a command's outcome; OutcomeMessage picks the one that belongs to an outcome.

namespace vardel {

constexpr char kUnknownErrorMessage[] = "Unknown error";
constexpr char kNoDriveMessage[] = "No drive found";
constexpr char kMoreDrivesMessage[] = "More drives found, please remove others";
constexpr char kFailMessage[] = "Fail";
constexpr char kWriteSuccessMessage[] = "Write Success";
constexpr char kWriteFailMessage[] = "Write Fail";
constexpr char kDriveBusyMessage[] = "The drive is busy: another program is changing it";

}  // namespace vardel
