#include "service/bus_timeouts.h"

#include <algorithm>

namespace vardel::service {

BusTimeouts::BusTimeouts(DBusConnection* connection) : connection_(connection) {
    // The timeouts already there come at once through Added.
    dbus_connection_set_timeout_functions(connection_, Added, Removed, Toggled, this, nullptr);
}

BusTimeouts::~BusTimeouts() {
    dbus_connection_set_timeout_functions(connection_, nullptr, nullptr, nullptr, nullptr, nullptr);
}

dbus_bool_t BusTimeouts::Added(DBusTimeout* timeout, void* data) {
    static_cast<BusTimeouts*>(data)->Start(timeout);
    return TRUE;
}

void BusTimeouts::Removed(DBusTimeout* timeout, void* data) {
    static_cast<BusTimeouts*>(data)->Stop(timeout);
}

void BusTimeouts::Toggled(DBusTimeout* timeout, void* data) {
    static_cast<BusTimeouts*>(data)->Start(timeout);
}

void BusTimeouts::Start(DBusTimeout* timeout) {
    Stop(timeout);
    if (dbus_timeout_get_enabled(timeout) == FALSE) return;
    pending_.push_back(
        {timeout, Clock::now() + std::chrono::milliseconds(dbus_timeout_get_interval(timeout))});
}

void BusTimeouts::Stop(DBusTimeout* timeout) {
    pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                  [timeout](const Pending& p) { return p.timeout == timeout; }),
                   pending_.end());
}

int BusTimeouts::MillisecondsToNext(int most) const {
    const Clock::time_point now = Clock::now();
    long long wait = most;
    for (const Pending& p : pending_) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(p.due - now).count() + 1;
        wait = std::min(wait, std::max(0LL, static_cast<long long>(left)));
    }
    return static_cast<int>(wait);
}

void BusTimeouts::RunDue() {
    const Clock::time_point now = Clock::now();
    std::vector<DBusTimeout*> due;
    for (const Pending& p : pending_) {
        if (p.due <= now) due.push_back(p.timeout);
    }
    for (DBusTimeout* timeout : due) {
        // Running one may remove another (the library's bookkeeping), so each is looked up again.
        const auto still =
            std::find_if(pending_.begin(), pending_.end(),
                         [timeout](const Pending& p) { return p.timeout == timeout; });
        if (still == pending_.end()) continue;
        // A timeout repeats until it is removed.
        still->due = now + std::chrono::milliseconds(dbus_timeout_get_interval(timeout));
        dbus_timeout_handle(timeout);
    }
}

}  // namespace vardel::service
