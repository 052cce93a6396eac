#include "transport/open_failure.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>

namespace zarvo {

void OpenFailure::Set(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(text_, sizeof text_, format, args);
  va_end(args);
}

void OpenFailure::SetSystemError(const char* what, int error) {
  const char* reason = SystemErrorText(error);
  if (reason != nullptr) {
    Set("%s: %s", what, reason);
  } else {
    Set("%s: system error %d", what, error);
  }
}

const char* SystemErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return "permission denied: is the user in the dialout group?";
    case ENOENT: return "no such device";
    case ENODEV:
    case ENXIO: return "no such device (unplugged, or not a serial port)";
    case EBUSY: return "device busy: another program holds it";
    case EWOULDBLOCK: return "in use by another program (it holds the lock)";
    case ENOTTY: return "not a serial device";
    case EIO: return "input/output error (adapter unplugged?)";
    case ECONNREFUSED: return "connection refused";
    case ETIMEDOUT: return "connection timed out";
    case EHOSTUNREACH: return "host unreachable";
    case ENETUNREACH: return "network unreachable";
    case ECONNRESET: return "connection reset by the server";
    case EINVAL: return "invalid argument";
    default: return nullptr;
  }
}

}  // namespace zarvo
