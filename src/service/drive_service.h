#pragma once
// The system service's logic: one call in, one reply out, on whatever platform its main gives it
// (the machine's drives, or an emulated machine in the tests). It runs the same commands with the
// same drive lock and journal as vardelctl, one call at a time, and never writes a file a caller
// names: a backup goes back to the caller as the document's text.

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "service/service_request.h"

namespace vardel::service {

struct ServiceSetup {
    // Where the journal goes (frontend::StateFolderRule::ServiceState); empty, with
    // `journalProblem` saying why, when there is none, and then nothing is changed.
    std::string journalFolder;
    std::string journalProblem;
    // The platform is the machine's own: the system describes its disks and its error codes.
    bool machine = false;
    // Which open errors mean a lack of rights.
    bool (*isNoRightsError)(std::uint32_t error) = nullptr;
    // Names the program in journal entries and backup documents.
    std::string tool;
};

class DriveService {
  public:
    DriveService(Platform& platform, ServiceSetup setup);

    // Safe to call from several threads: the calls run one after the other.
    ServiceReply Handle(const ServiceRequest& request);

    // Whether the request changes a drive (and so needs the change authorization): set, write,
    // restore and undo that do not run dry.
    static bool Changes(const ServiceRequest& request);

  private:
    ServiceReply Run(const ServiceRequest& request);

    Platform& platform_;
    ServiceSetup setup_;
    std::mutex oneCallAtATime_;
};

// Checks what the caller handed over, before anything is done with it: lengths, the LUN, the
// type, the row texts, the device name. ServiceError::None to go on.
ServiceError CheckRequest(const ServiceRequest& request, std::string& problem);

}  // namespace vardel::service
