// Serial port on a POSIX terminal device (USB adapters, built-in UARTs,
// pseudo-terminals): raw 8N1, exclusive, waits for input with poll().
#pragma once

#include "serial/serial_port.h"

namespace zarvo {

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override { Close(); }
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  int32_t Open(const char* name, int32_t baud) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  int32_t Write(const uint8_t* bytes, size_t count) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;
  void DiscardInput() override;

 private:
  int32_t Configure(int32_t baud);
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

}  // namespace zarvo
