// Telling systemd how the daemon is doing (sd_notify): ready, stopping,
// and the watchdog's "still moving". Without libsystemd at build time, or
// when not started by systemd, each call does nothing.
#pragma once

#include <chrono>

namespace zarvod {

void NotifyReady();
void NotifyStopping();
void NotifyAlive();

// How often the service manager wants to hear NotifyAlive: half its
// watchdog interval. Zero when it watches nothing.
std::chrono::milliseconds WatchdogFeedInterval();

}  // namespace zarvod
