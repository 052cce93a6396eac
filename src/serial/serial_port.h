// The one serial line the library talks through, as a small interface so the
// exchange can run against a real device, a pseudo-terminal or a scripted
// line in tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens and configures the named device; returns 0 or a ZARVO_E_* code.
  // On codes -2 to -5 the device stays open.
  virtual int32_t Open(const char* name, int32_t baud) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Writes the whole block in one call; returns the count the platform
  // reports written, 0 or less when nothing was written.
  virtual int32_t Write(const uint8_t* bytes, size_t count) = 0;

  // Waits up to `wait_ms` for input and reads what is there, up to `capacity`
  // bytes. Returns the count read, 0 when the wait ran out, or kDeviceGone
  // when the device reported an error or hang-up.
  virtual int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) = 0;

  // Drops everything waiting in the receive queue.
  virtual void DiscardInput() = 0;

  static constexpr int32_t kDeviceGone = -1;
};

}  // namespace zarvo
