#include <windows.h>

#include "commands/host_clock.h"

namespace zarvo {

// GetLocalTime works in SYSTEMTIME fields, so it has no 2038 limit, unlike
// the C runtime's time_t on 32-bit builds.
bool ReadHostLocalTime(LocalTime& now) {
  SYSTEMTIME st;
  GetLocalTime(&st);
  now = LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wDayOfWeek};
  return true;
}

}  // namespace zarvo
