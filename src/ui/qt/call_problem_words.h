#pragma once
// What the window says when a call on the drive service gave no outcome: in English the words of
// service_client::CallProblemText, elsewhere their translation, chosen by how the call ended.

#include <QString>

#include "service_client/call_problem_text.h"

namespace vardel::qt {

// The ways the window offers instead of the service: it never runs as root, so root's way is
// vardelctl's, and the status button reads the drive again.
service_client::OtherWays WindowOtherWays();

// The English source of the call's end, marked for translation: %1 the bus's or the service's
// own words, %2 the polkit action; nullptr for CallEnd::Replied.
const char* CallProblemSource(service_client::CallEnd end);

// The message for `call` in the installed language.
QString CallProblemWords(const service_client::CallResult& call);

}  // namespace vardel::qt
