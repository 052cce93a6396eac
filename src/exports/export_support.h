// Support for the thin C layer: every export runs its C++ command on the
// default session while holding the session lock, so calls from several
// threads never interleave frames or corrupt the caches.
#pragma once

#include <cstdint>

#include "result_codes.h"
#include "session.h"

namespace zarvo {

template <typename Command>
int32_t RunLocked(Command&& command) {
  Session& session = Session::Default();
  auto lock = session.Lock();
  return command(session);
}

// True when every pointer argument is non-null.
template <typename... Pointers>
bool AllPresent(const Pointers*... pointers) {
  return ((pointers != nullptr) && ...);
}

}  // namespace zarvo
