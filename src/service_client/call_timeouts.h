#pragma once
// How long a client waits for the drive service's answer: a change may wait for polkit's dialog
// (the service waits up to 5 minutes) and then for the drive's lock; a read waits only for the
// lock.

namespace vardel::service_client {

constexpr int kChangeTimeoutMilliseconds = 6 * 60 * 1000;
constexpr int kReadTimeoutMilliseconds = 60 * 1000;

}  // namespace vardel::service_client
