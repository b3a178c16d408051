// vardel-service: the drives' commands on the system bus, started by the bus when a client calls.
// Only this main picks the machine's backend.

#include <dbus/dbus.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "journal/journal_place.h"
#include "machine/access_watch.h"
#include "machine/machine_platform.h"
#include "service/bus_service.h"
#include "service/drive_service.h"

int main(int argc, char** argv) {
    using namespace vardel;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("vardel-service %s\n", VARDEL_VERSION);
        return 0;
    }
    if (argc != 1) {
        std::fprintf(stderr,
                     "usage: vardel-service\n"
                     "The system bus starts it when a client calls org.vardel.Drives1.\n");
        return 2;
    }
    std::unique_ptr<Platform> platform = frontend::MakeMachinePlatform();
    if (platform == nullptr) {
        std::fprintf(stderr, "vardel-service: built without access to the machine's drives\n");
        return 1;
    }
    service::ServiceSetup setup;
    setup.journalFolder = frontend::JournalFolderFor(
        frontend::StateFolderRule::ServiceState,
        [](const char* name) -> const char* { return std::getenv(name); }, false,
        setup.journalProblem);
    setup.machine = true;
    setup.isNoRightsError = frontend::IsNoRightsError;
    setup.tool = "vardel-service " VARDEL_VERSION;
    service::DriveService drives(*platform, setup);

    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (connection == nullptr) {
        std::fprintf(stderr, "vardel-service: cannot reach the system bus (%s)\n", error.message);
        dbus_error_free(&error);
        return 1;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    const int code = service::ServeOnBus(connection, drives, service::kIdleExitSeconds);
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    // What libdbus keeps for the process goes too, so that a leak check sees only real leaks.
    dbus_shutdown();
    return code;
}
