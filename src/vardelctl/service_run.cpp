#include "vardelctl/service_run.h"

#include <string>

#include "service_client/call_problem_text.h"
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

// The exit code of a call that gave no outcome; its words are the client's own.
int CallEndExitCode(const CallResult& call) {
    switch (call.end) {
        case CallEnd::NoClient:
        case CallEnd::NoBus:
        case CallEnd::ServiceMissing:
        case CallEnd::ServiceNotStarted:
        case CallEnd::NotAuthorized:
        case CallEnd::AuthenticationRequired:
            return kExitNoMachineAccess;
        case CallEnd::Refused:
            switch (call.error) {
                case service::ServiceError::InvalidArgument:
                    return kExitUsage;
                case service::ServiceError::UnknownDrive:
                case service::ServiceError::NothingToUndo:
                    return kExitWrongDevice;
                case service::ServiceError::AmbiguousDrive:
                    return kExitSeveralDrives;
                case service::ServiceError::NoJournal:
                    return kExitFileNotWritten;
                case service::ServiceError::None:
                    break;
            }
            return kExitUnknownError;
        case CallEnd::Replied:
        case CallEnd::NoAnswer:
        case CallEnd::BadReply:
        case CallEnd::Failed:
            break;
    }
    return kExitUnknownError;
}

int ReportCallEnd(const Options& options, const CallResult& call, std::ostream& out,
                  std::ostream& err) {
    return ReportProblem(options, CallEndExitCode(call),
                         service_client::CallProblemText(call, "vardelctl"), out, err);
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
