#include "service/waiting_calls.h"

namespace vardel::service {
namespace {

template <typename Key>
int CountOf(const std::map<Key, int>& counts, const Key& key) {
    const auto found = counts.find(key);
    return found == counts.end() ? 0 : found->second;
}

// Entries that reach 0 go, so that a service answering many callers keeps no trail of them.
template <typename Key>
void Lower(std::map<Key, int>& counts, const Key& key) {
    const auto found = counts.find(key);
    if (found == counts.end()) return;
    if (--found->second <= 0) counts.erase(found);
}

}  // namespace

Admission WaitingCalls::Enter(const std::string& caller, long user, bool dialog) {
    if (CountOf(byCaller_, caller) >= kMostWaitingPerCaller) return Admission::CallerFull;
    if (dialog) {
        if (CountOf(dialogsByUser_, user) >= kMostDialogsPerUser) return Admission::UserFull;
        if (dialogs_ >= kMostDialogs) return Admission::AllFull;
        ++dialogsByUser_[user];
        ++dialogs_;
    }
    ++byCaller_[caller];
    ++count_;
    return Admission::Admitted;
}

void WaitingCalls::Leave(const std::string& caller, long user, bool dialog) {
    Lower(byCaller_, caller);
    if (dialog) {
        Lower(dialogsByUser_, user);
        --dialogs_;
    }
    --count_;
}

}  // namespace vardel::service
