// Serial port on Windows (COM1, \\.\COM10, ...): the communications API with
// the line defined by a mode text ("COM1: baud=9600 parity=N data=8 stop=1"),
// DTR raised, and reads that return as soon as a byte arrives or the wait
// runs out, so waiting costs no CPU.
#pragma once

#include <windows.h>

#include "transport/open_failure.h"
#include "transport/serial_direction.h"
#include "transport/transport.h"

namespace zarvo {

class Win32SerialPort final : public Transport {
 public:
  Win32SerialPort() = default;
  ~Win32SerialPort() override { Close(); }
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  // Opens and configures the port; returns 0 or a ZARVO_E_* code, with the
  // reason in `why`. On codes -2 to -5 the port stays open.
  int32_t Open(const char* name, int32_t baud, const SerialDirection& direction, OpenFailure& why);
  void Close() override;
  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
  int32_t StartExchange() override;
  int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;

 private:
  bool SetReadWait(uint32_t wait_ms);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  COMMTIMEOUTS timeouts_{};
  DCB settings_{};
  char definition_[1080] = {};
  uint32_t read_wait_ms_ = UINT32_MAX;  // the wait the port is set up for
};

using PlatformSerialPort = Win32SerialPort;

// The mode text for `name` at `baud`: the first five characters of the name
// (after a leading \\.\), then ": baud=<baud> parity=N data=8 stop=1".
void BuildDefinition(const char* name, int32_t baud, char* out, size_t size);

}  // namespace zarvo
