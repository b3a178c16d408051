// The drive service's bus glue on an emulated machine, for tests/service/bus_test.py alone: it
// answers on the bus that DBUS_SYSTEM_BUS_ADDRESS names, with a stand-in for polkit or, for
// tools/bench-service-host.sh, with polkit itself. Built in the test tree and for the benchmarks
// only and never installed; the service itself always asks polkit.
//
// usage: service_on_test_bus JOURNAL_FOLDER POLICY IDLE_SECONDS [SCENARIO_FILE]
//   SCENARIO_FILE: the emulated machine a scenario file describes (read once, never written
//   back), instead of the built-in one
//   POLICY: who answers the service's questions to polkit: a stand-in on the same bus
//   (polkit_stand_in.h): grant-change (every call allowed), deny-change (reading only),
//   grant-change-slowly (as grant-change, a change after two seconds of "asking", so that a caller
//   can leave meanwhile), challenge-change (a change needs authentication), hold-change (a change
//   is never answered, as a password dialog nobody answers); or polkit: no stand-in, the polkitd
//   on that bus if there is one, as for the service itself

#include <dbus/dbus.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "machine/access_watch.h"
#include "platform/emulated/emulated_platform.h"
#include "scenario/scenario.h"
#include "service/bus_service.h"
#include "service/drive_service.h"
#include "service/polkit_stand_in.h"

int main(int argc, char** argv) {
    using namespace vardel;
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr,
                     "usage: service_on_test_bus JOURNAL_FOLDER POLICY IDLE_SECONDS "
                     "[SCENARIO_FILE]\n");
        return 2;
    }
    const std::string policy = argv[2];
    testing_support::StandInPolicy standInPolicy{};
    if (policy != "polkit" && !testing_support::StandInPolicyNamed(policy, standInPolicy)) {
        std::fprintf(stderr, "service_on_test_bus: unknown policy %s\n", argv[2]);
        return 2;
    }
    emulated::EmulatedPlatform platform;
    if (argc == 5) {
        try {
            frontend::Scenario::Load(argv[4]).SetUp(platform);
        } catch (const frontend::ScenarioError& error) {
            std::fprintf(stderr, "service_on_test_bus: %s\n", error.what());
            return 2;
        }
    } else {
        emulated::SetUpStandardMachine(platform);
    }
    service::ServiceSetup setup;
    setup.journalFolder = argv[1];
    setup.isNoRightsError = frontend::IsEmulatedNoRightsError;
    setup.tool = "vardel-service test";
    service::DriveService drives(platform, setup);

    DBusError error;
    dbus_error_init(&error);
    DBusConnection* connection = dbus_bus_get_private(DBUS_BUS_SYSTEM, &error);
    if (connection == nullptr) {
        std::fprintf(stderr, "service_on_test_bus: %s\n", error.message);
        dbus_error_free(&error);
        return 1;
    }
    dbus_connection_set_exit_on_disconnect(connection, FALSE);
    // The stand-in answers before the service takes its name, so before anyone calls it.
    std::unique_ptr<testing_support::PolkitStandIn> standIn;
    if (policy != "polkit") {
        standIn = std::make_unique<testing_support::PolkitStandIn>(standInPolicy);
        std::string problem;
        if (!standIn->Start(problem)) {
            std::fprintf(stderr, "service_on_test_bus: the polkit stand-in: %s\n", problem.c_str());
            return 1;
        }
    }
    const int code = service::ServeOnBus(connection, drives, std::atoi(argv[3]));
    standIn.reset();
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
    // What libdbus keeps for the process goes too, so that a leak check sees only real leaks.
    dbus_shutdown();
    return code;
}
