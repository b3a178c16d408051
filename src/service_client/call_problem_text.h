#pragma once
// What a front end says when a call on the drive service gave no outcome: the one wording of
// vardel and vardelctl alike, in English. A translated front end chooses its own words by the
// call's end, never by reading these.

#include <string>

#include "service_client/service_client.h"

namespace vardel::service_client {

// What the text offers a user instead of the service: the front end's own name (for --direct),
// how the same is run as root, and how the drive is read again.
struct OtherWays {
    std::string program;    // "vardelctl", "vardel"
    std::string asRoot;     // "sudo vardelctl ..."
    std::string readAgain;  // "vardelctl status"
};

// Empty for CallEnd::Replied.
std::string CallProblemText(const CallResult& call, const OtherWays& ways);
// A console program that runs as root as well: `program` --direct, sudo `program` ..., and
// `program` status.
std::string CallProblemText(const CallResult& call, const char* program);

}  // namespace vardel::service_client
