#pragma once
// The timeouts the bus library sets on a connection (how long an asked reply is waited for), for
// a loop that waits on the connection itself: without someone to run them, a question whose
// answer never comes would wait forever.

#include <dbus/dbus.h>

#include <chrono>
#include <vector>

namespace vardel::service {

class BusTimeouts {
  public:
    using Clock = std::chrono::steady_clock;

    // Takes over the connection's timeouts until the object goes.
    explicit BusTimeouts(DBusConnection* connection);
    ~BusTimeouts();
    BusTimeouts(const BusTimeouts&) = delete;
    BusTimeouts& operator=(const BusTimeouts&) = delete;

    // How long the loop may wait before the next timeout is due, at most `most`.
    int MillisecondsToNext(int most) const;
    // Runs every timeout that is due.
    void RunDue();

  private:
    struct Pending {
        DBusTimeout* timeout;
        Clock::time_point due;
    };
    static dbus_bool_t Added(DBusTimeout* timeout, void* data);
    static void Removed(DBusTimeout* timeout, void* data);
    static void Toggled(DBusTimeout* timeout, void* data);
    void Start(DBusTimeout* timeout);
    void Stop(DBusTimeout* timeout);

    DBusConnection* connection_;
    std::vector<Pending> pending_;
};

}  // namespace vardel::service
