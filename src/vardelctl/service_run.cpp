#include "vardelctl/service_run.h"

#include <string>

#include "service_client/service_client.h"
#include "vardelctl/command_run.h"
#include "vardelctl/exit_codes.h"
#include "vardelctl/report.h"

namespace vardel::cli {
namespace {

using service_client::CallEnd;
using service_client::CallResult;

// The commands the service runs for vardelctl: one drive, with the service's journal.
bool GoesThroughService(const Options& options) {
    const bool verb =
        options.verb == Verb::Status || options.verb == Verb::Set || options.verb == Verb::Write;
    return verb && !options.all && !options.noJournal;
}

const char* VerbName(Verb verb) {
    switch (verb) {
        case Verb::Set:
            return "set";
        case Verb::Write:
            return "write";
        case Verb::List:
            return "list";
        case Verb::Backup:
            return "backup";
        case Verb::Restore:
            return "restore";
        case Verb::History:
            return "history";
        case Verb::Undo:
            return "undo";
        case Verb::Status:
            break;
    }
    return "status";
}

service::ServiceRequest RequestOf(const Options& options) {
    service::ServiceRequest request;
    request.method = options.verb == Verb::Set     ? service::ServiceMethod::Set
                     : options.verb == Verb::Write ? service::ServiceMethod::Write
                                                   : service::ServiceMethod::Status;
    request.device = options.device;
    request.lun = options.row == LunRow::Lun1 ? 1 : 0;
    request.type = options.type;
    request.lun0Text = options.lun0Text;
    request.lun1Text = options.lun1Text;
    request.dryRun = options.dryRun;
    return request;
}

constexpr char kOtherWays[] =
    "vardelctl --direct reaches the drive itself, with rights on its node (the udev rule gives "
    "them to the user at the seat), and root always may (sudo vardelctl ...)";

// What the run says when the service gave no outcome; nothing was written in any of these cases
// but the one without an answer, where it is not known.
int ReportCallEnd(const Options& options, const CallResult& call, std::ostream& out,
                  std::ostream& err) {
    const std::string action = call.action;
    switch (call.end) {
        case CallEnd::Replied:
            break;
        case CallEnd::NoClient:
            return ReportProblem(options, kExitNoMachineAccess,
                                 "this vardelctl is built without the drive service's client; "
                                 "give --direct",
                                 out, err);
        case CallEnd::NoBus:
            return ReportProblem(options, kExitNoMachineAccess,
                                 "the system bus cannot be reached (" + call.message +
                                     "), so neither can the drive service; " + kOtherWays,
                                 out, err);
        case CallEnd::ServiceMissing:
            return ReportProblem(options, kExitNoMachineAccess,
                                 "the drive service (org.vardel.Drives1) is not installed: install "
                                 "the package's service files (docs/service.md), or use another "
                                 "way: " +
                                     std::string(kOtherWays),
                                 out, err);
        case CallEnd::ServiceNotStarted:
            return ReportProblem(
                options, kExitNoMachineAccess,
                "the drive service (org.vardel.Drives1) could not be started (" + call.message +
                    "); journalctl -u vardel-service tells why. Meanwhile " + kOtherWays,
                out, err);
        case CallEnd::NotAuthorized:
            return ReportProblem(options, kExitNoMachineAccess,
                                 "polkit refused " + action +
                                     " to this user: nothing was written. An administrator may "
                                     "allow it (docs/service.md, Authorization), or run it as "
                                     "root (sudo vardelctl ...)",
                                 out, err);
        case CallEnd::AuthenticationRequired:
            return ReportProblem(options, kExitNoMachineAccess,
                                 "polkit asks for a password for " + action +
                                     ", and no authentication agent here can ask it: nothing was "
                                     "written. Run it in a desktop session, start pkttyagent, or "
                                     "run it as root (sudo vardelctl ...)",
                                 out, err);
        case CallEnd::Refused: {
            int code = kExitUnknownError;
            switch (call.error) {
                case service::ServiceError::InvalidArgument:
                    code = kExitUsage;
                    break;
                case service::ServiceError::UnknownDrive:
                case service::ServiceError::NothingToUndo:
                    code = kExitWrongDevice;
                    break;
                case service::ServiceError::AmbiguousDrive:
                    code = kExitSeveralDrives;
                    break;
                case service::ServiceError::NoJournal:
                    code = kExitFileNotWritten;
                    break;
                case service::ServiceError::None:
                    break;
            }
            return ReportProblem(
                options, code,
                "the drive service refused the call: " + call.message + "; nothing was written",
                out, err);
        }
        case CallEnd::NoAnswer:
            return ReportProblem(options, kExitUnknownError,
                                 "the drive service did not answer (" + call.message +
                                     "): whether the drive changed is not known; vardelctl "
                                     "status shows what it holds",
                                 out, err);
        case CallEnd::BadReply:
            return ReportProblem(options, kExitUnknownError,
                                 "the drive service's answer could not be read (another version "
                                 "of vardel-service?); " +
                                     std::string(kOtherWays),
                                 out, err);
        case CallEnd::Failed:
            return ReportProblem(options, kExitUnknownError,
                                 "the drive service failed (" + call.message + ")", out, err);
    }
    return -1;
}

}  // namespace

int ChooseRoute(const Options& options, Route& route, std::ostream& out, std::ostream& err) {
    route = Route::Direct;
    if (options.direct && options.service) {
        return ReportProblem(options, kExitUsage,
                             "--direct reaches the drive itself, --service through the drive "
                             "service: give only one of them",
                             out, err);
    }
    if (options.service && options.emulate) {
        return ReportProblem(options, kExitUsage,
                             "--emulate runs on an emulated machine of vardelctl's own, never "
                             "through the drive service: leave out --service",
                             out, err);
    }
    if (options.service && !GoesThroughService(options)) {
        const std::string what = options.noJournal ? std::string("--no-journal")
                                 : options.all     ? std::string("--all")
                                                   : VerbName(options.verb);
        return ReportProblem(options, kExitUsage,
                             what +
                                 " does not go through the drive service (status, set and "
                                 "write on one drive do, each with a journal entry): leave "
                                 "out --service",
                             out, err);
    }
    if (options.direct || options.emulate || !GoesThroughService(options)) return -1;
    if (options.service || service_client::ServiceIsDefault()) route = Route::Service;
    return -1;
}

int RunThroughService(const Options& options, std::ostream& out, std::ostream& err) {
    RunNotes notes;
    notes.onMachine = true;
    notes.nativeErrors = true;
    // An empty --device names no drive (the service would take it for the single one).
    if (options.deviceGiven && options.device.empty()) {
        return ReportResult(options, EndedInDiscovery(options, OutcomeCode::NoDrive), notes, out,
                            err);
    }
    const CallResult call = service_client::CallService(RequestOf(options));
    if (call.end != CallEnd::Replied) return ReportCallEnd(options, call, out, err);
    RunResult result;
    result.outcome = call.reply.outcome;
    notes.failedPaths = call.reply.failedPaths;
    notes.noRights = call.reply.noRights;
    notes.noRightsDisks = call.reply.noRightsDisks;
    notes.journalProblem = call.reply.journalProblem;
    return ReportResult(options, result, notes, out, err);
}

}  // namespace vardel::cli
