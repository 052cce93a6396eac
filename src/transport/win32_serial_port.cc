#include "transport/win32_serial_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "result_codes.h"

namespace zarvo {

void BuildDefinition(const char* name, int32_t baud, char* out, size_t size) {
  // Ports above COM9 must be opened as \\.\COM10; the mode text wants the
  // port's own name, not the device namespace prefix.
  if (std::strncmp(name, "\\\\.\\", 4) == 0) name += 4;
  char prefix[6] = {};
  for (size_t i = 0; i < 5 && name[i] != '\0'; ++i) prefix[i] = name[i];
  std::snprintf(out, size, "%s: baud=%ld parity=N data=8 stop=1", prefix, static_cast<long>(baud));
}

namespace {

const char* OpenErrorText(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return "no such port";
    case ERROR_ACCESS_DENIED: return "access denied: another program has the port open";
    case ERROR_SHARING_VIOLATION: return "in use by another program";
    default: return "the system cannot open it";
  }
}

}  // namespace

int32_t Win32SerialPort::Open(const char* name, int32_t baud, const SerialDirection& direction,
                              OpenFailure& why) {
  Close();
  handle_ = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    why.Set("%s: %s (error %lu)", name, OpenErrorText(error), static_cast<unsigned long>(error));
    return kCannotOpen;
  }
  // A new handle starts with the system's read time-outs, whatever the last
  // one was set to.
  read_wait_ms_ = UINT32_MAX;
  if (!SetupComm(handle_, 512, 512)) {
    why.Set("%s: the port refused 512-byte queues", name);
    return kQueueSizes;
  }
  PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);

  timeouts_ = COMMTIMEOUTS{};
  timeouts_.ReadTotalTimeoutMultiplier = 6;
  BuildDefinition(name, baud, definition_, sizeof definition_);
  settings_ = DCB{};
  settings_.DCBlength = sizeof settings_;
  if (!BuildCommDCBA(definition_, &settings_)) {
    why.Set("the system refused the line definition \"%s\"", definition_);
    return kLineDefinition;
  }
  settings_.fDtrControl = DTR_CONTROL_ENABLE;
  // RS-485 direction: the driver raises RTS while it transmits. The settling
  // delays are the driver's own; Windows has no setting for them.
  if (direction.rts_while_sending) settings_.fRtsControl = RTS_CONTROL_TOGGLE;
  if (!SetCommState(handle_, &settings_)) {
    why.Set("the port refused the settings \"%s\"%s", definition_,
            direction.rts_while_sending ? " with RTS toggle control" : "");
    return kPortSettings;
  }
  if (!SetCommTimeouts(handle_, &timeouts_)) {
    why.Set("the port refused its time-outs");
    return kPortTimeouts;
  }
  return kOk;
}

void Win32SerialPort::Close() {
  read_wait_ms_ = UINT32_MAX;
  if (handle_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

// Flow control is off, so the port drains at the line speed and a write
// cannot stall: it needs no deadline of its own.
int32_t Win32SerialPort::Write(const uint8_t* bytes, size_t count, uint32_t /*wait_ms*/) {
  DWORD written = 0;
  if (!WriteFile(handle_, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0) {
    SetFailure("nothing could be written to the device");
    return 0;
  }
  return static_cast<int32_t>(written);
}

// With the interval and multiplier at MAXDWORD and a constant between 0 and
// MAXDWORD, a read returns at once with what has arrived, or as soon as one
// byte arrives, or after the constant: a blocking wait with a deadline.
bool Win32SerialPort::SetReadWait(uint32_t wait_ms) {
  // Within a millisecond of the wait already set, keep it: after each byte
  // the wait is the whole silence limit again, so the time-outs are set
  // once per exchange rather than once per read.
  const bool close =
      read_wait_ms_ != UINT32_MAX && wait_ms + 1 >= read_wait_ms_ && read_wait_ms_ + 1 >= wait_ms;
  if (close && wait_ms != 0) return true;
  COMMTIMEOUTS wait{};
  wait.ReadIntervalTimeout = MAXDWORD;
  wait.ReadTotalTimeoutMultiplier = wait_ms == 0 ? 0 : MAXDWORD;
  wait.ReadTotalTimeoutConstant = wait_ms;
  if (!SetCommTimeouts(handle_, &wait)) return false;
  read_wait_ms_ = wait_ms;
  return true;
}

// The first byte is waited for alone, then whatever else has arrived is
// taken, which is there at once: wine returns a read only when it is full or
// its time is up, so a larger first read would wait out the whole wait there
// even after the reply has ended.
int32_t Win32SerialPort::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  if (capacity == 0) return 0;
  DWORD got = 0;
  if (!SetReadWait(wait_ms) || !ReadFile(handle_, dest, 1, &got, nullptr)) {
    SetFailure("the device went away");
    return kDeviceGone;
  }
  if (got == 0 || capacity == 1) return static_cast<int32_t>(got);
  COMSTAT status{};
  DWORD errors = 0;
  if (!ClearCommError(handle_, &errors, &status) || status.cbInQue == 0) return 1;
  const DWORD more = std::min(status.cbInQue, static_cast<DWORD>(capacity - 1));
  DWORD rest = 0;
  if (!ReadFile(handle_, dest + 1, more, &rest, nullptr)) {
    SetFailure("the device went away");
    return kDeviceGone;
  }
  return static_cast<int32_t>(1 + rest);
}

int32_t Win32SerialPort::StartExchange() {
  PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
  return 0;
}

}  // namespace zarvo
