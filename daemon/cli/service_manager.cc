#include "cli/service_manager.h"

#ifdef ZARVOD_WITH_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

#include <cstdint>

namespace zarvod {

#ifdef ZARVOD_WITH_SYSTEMD
void NotifyReady() { sd_notify(0, "READY=1"); }
void NotifyStopping() { sd_notify(0, "STOPPING=1"); }
void NotifyAlive() { sd_notify(0, "WATCHDOG=1"); }

std::chrono::milliseconds WatchdogFeedInterval() {
  uint64_t interval_us = 0;
  if (sd_watchdog_enabled(0, &interval_us) <= 0) return std::chrono::milliseconds(0);
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::microseconds(interval_us / 2));
}
#else
void NotifyReady() {}
void NotifyStopping() {}
void NotifyAlive() {}
std::chrono::milliseconds WatchdogFeedInterval() { return std::chrono::milliseconds(0); }
#endif

}  // namespace zarvod
