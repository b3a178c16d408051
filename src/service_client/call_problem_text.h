#pragma once
// What a front end says when a call on the drive service gave no outcome: the one wording of
// vardel and vardelctl alike, in English. A translated front end chooses its own words by the
// call's end, never by reading these.

#include <string>

#include "service_client/service_client.h"

namespace vardel::service_client {

// `program` is the front end's own name ("vardelctl", "vardel"), for the other ways the text
// offers. Empty for CallEnd::Replied.
std::string CallProblemText(const CallResult& call, const char* program);

}  // namespace vardel::service_client
