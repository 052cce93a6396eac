#include "commands/management.h"

#include "commands/command_buffer.h"
#include "commands/command_codes.h"
#include "result_codes.h"

namespace zarvo {

int32_t SearchAR(Session& session, int32_t address) {
  CommandBuffer<32> body(address, kCmdProbe);
  int32_t length = 3;
  return session.Exchange(body.data(), body.capacity(), length, kProbeSilenceMs);
}


// Not built yet.
LocalTime HostLocalTime() { return LocalTime{2000, 1, 1, 0, 0, 0, 6}; }
int32_t ChangeAR(Session&, int32_t, int32_t) { return kInvalidArgument; }
int32_t Ver(Session&, int32_t, char*) { return kInvalidArgument; }
int32_t Time(Session&, int32_t) { return kInvalidArgument; }
int32_t SetClock(Session&, int32_t, const LocalTime&) { return kInvalidArgument; }
int32_t ChangeBaud(Session&, int32_t, int32_t) { return kInvalidArgument; }
int32_t Init(Session&, int32_t) { return kInvalidArgument; }
int32_t DeviceInformation(Session&, int32_t, int32_t*) { return kInvalidArgument; }

}  // namespace zarvo
