// Serial port on a POSIX terminal device (USB adapters, built-in UARTs,
// pseudo-terminals): raw 8N1, exclusive, waits for input with poll().
#pragma once

#include "transport/open_failure.h"
#include "transport/serial_direction.h"
#include "transport/transport.h"

namespace zarvo {

class PosixSerialPort final : public Transport {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override { Close(); }
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  // Opens and configures the device; returns 0 or a ZARVO_E_* code, with the
  // reason in `why`. On codes -2 to -5 the device stays open.
  int32_t Open(const char* name, int32_t baud, const SerialDirection& direction, OpenFailure& why);
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  int32_t StartExchange() override;
  int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;

 private:
  int32_t Configure(int32_t baud, const SerialDirection& direction, OpenFailure& why);
  bool ClearNonBlocking();
  int fd_ = -1;
};

using PlatformSerialPort = PosixSerialPort;

// Applies `baud` to the open terminal `fd` on top of the settings already
// applied: a standard rate through termios, any other positive rate through
// the kernel's custom-speed interface where there is one. Returns false when
// the rate cannot be set.
bool SetLineSpeed(int fd, int32_t baud);
// Only the standard rates (9600, 19200, ...); false for any other.
bool SetStandardLineSpeed(int fd, int32_t baud);
// Puts the device in the kernel's RS-485 mode (RTS high while sending) where
// the platform has one; false with errno set when the device refuses it.
bool SetRs485Direction(int fd, const SerialDirection& direction);

}  // namespace zarvo
