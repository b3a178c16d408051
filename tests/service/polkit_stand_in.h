#pragma once
// A stand-in for polkit's authority on the bus, for service_on_test_bus: it owns
// org.freedesktop.PolicyKit1 on a connection of its own and answers CheckAuthorization as its
// policy says, on a thread of its own, so that the service asks it exactly as it asks polkitd.

#include <dbus/dbus.h>

#include <atomic>
#include <string>
#include <thread>

namespace vardel::testing_support {

enum class StandInPolicy {
    GrantChange,        // every call allowed
    DenyChange,         // reading only
    GrantChangeSlowly,  // as GrantChange, a change after two seconds of "asking"
    ChallengeChange,    // a change needs authentication (polkit's answer without a dialog)
    HoldChange,         // a change is never answered: a password dialog nobody answers
};

// false for an unknown name.
bool StandInPolicyNamed(const std::string& name, StandInPolicy& policy);

class PolkitStandIn {
  public:
    explicit PolkitStandIn(StandInPolicy policy) : policy_(policy) {}
    ~PolkitStandIn();
    // Owns the name on the bus DBUS_SYSTEM_BUS_ADDRESS names, and answers from then on; false
    // (with `problem`) when it cannot.
    bool Start(std::string& problem);

  private:
    void Serve();

    StandInPolicy policy_;
    DBusConnection* connection_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace vardel::testing_support
