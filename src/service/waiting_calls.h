#pragma once
// How many calls may wait for polkit at once. A call waits there as long as someone leaves the
// password dialog open (up to 5 minutes), and each one holds one of the replies the bus lets the
// service await (dbus-daemon allows 128 a connection by default): unbounded, one account could
// fill them, and then no call of anyone could be authorized. A read is answered by polkit at
// once, so it hardly waits; the bounds that count an account's dialogs count only questions that
// may show one.

#include <map>
#include <string>

namespace vardel::service {

// Calls of one bus name waiting for polkit (vardelctl and the window wait for each answer before
// the next call, so one is the most they ever hold).
constexpr int kMostWaitingPerCaller = 4;
// Questions that may show a dialog, of one user id, over all its bus names: room for a batch of
// drives changed at once, but not for all of everyone's.
constexpr int kMostDialogsPerUser = 32;
// Questions that may show a dialog, of everyone: room stays for the reads.
constexpr int kMostDialogs = 64;

enum class Admission { Admitted, CallerFull, UserFull, AllFull };

class WaitingCalls {
  public:
    // `user`: the caller's user id, -1 when unknown (then it counts as one user of its own);
    // `dialog`: polkit may ask for a password. Admitted counts the call until Leave.
    Admission Enter(const std::string& caller, long user, bool dialog);
    void Leave(const std::string& caller, long user, bool dialog);
    int Count() const { return count_; }

  private:
    std::map<std::string, int> byCaller_;
    std::map<long, int> dialogsByUser_;
    int dialogs_ = 0;
    int count_ = 0;
};

}  // namespace vardel::service
