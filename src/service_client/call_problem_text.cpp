#include "service_client/call_problem_text.h"

namespace vardel::service_client {
namespace {

std::string OtherWaysText(const OtherWays& ways) {
    return ways.program +
           " --direct reaches the drive itself, with rights on its node, and root "
           "always may (" +
           ways.asRoot + ")";
}

}  // namespace

std::string CallProblemText(const CallResult& call, const char* program) {
    const std::string name = program;
    return CallProblemText(call, OtherWays{name, "sudo " + name + " ...", name + " status"});
}

std::string CallProblemText(const CallResult& call, const OtherWays& ways) {
    const std::string& name = ways.program;
    const std::string action = call.action;
    switch (call.end) {
        case CallEnd::Replied:
            break;
        case CallEnd::NoClient:
            return "this " + name + " is built without the drive service's client; give --direct";
        case CallEnd::NoBus:
            return "the system bus cannot be reached (" + call.message +
                   "), so neither can the drive service; " + OtherWaysText(ways);
        case CallEnd::ServiceMissing:
            return "the drive service (org.vardel.Drives1) is not installed: install the "
                   "package's service files (docs/service.md), or use another way: " +
                   OtherWaysText(ways);
        case CallEnd::ServiceNotStarted:
            return "the drive service (org.vardel.Drives1) could not be started (" + call.message +
                   "); journalctl -u vardel-service tells why. Meanwhile " + OtherWaysText(ways);
        case CallEnd::NotAuthorized:
            return "polkit refused " + action +
                   " to this user: nothing was written. An administrator may allow it "
                   "(docs/service.md, Authorization), or run it as root (" +
                   ways.asRoot + ")";
        case CallEnd::AuthenticationRequired:
            return "polkit asks for a password for " + action +
                   ", and no authentication agent here can ask it: nothing was written. Run it "
                   "in a desktop session, start pkttyagent, or run it as root (" +
                   ways.asRoot + ")";
        case CallEnd::Refused:
            return "the drive service refused the call: " + call.message +
                   "; nothing was written";
        case CallEnd::NoAnswer:
            return "the drive service did not answer (" + call.message +
                   "): whether the drive changed is not known; " + ways.readAgain +
                   " shows what it holds";
        case CallEnd::ReadNotAnswered:
            return "the drive service did not answer (" + call.message +
                   "); the call only reads, so nothing was changed: try again in a while";
        case CallEnd::BadReply:
            return "the drive service's answer could not be read (another version of "
                   "vardel-service?); " +
                   OtherWaysText(ways);
        case CallEnd::Failed:
            return "the drive service failed (" + call.message + ")";
    }
    return std::string();
}

}  // namespace vardel::service_client
