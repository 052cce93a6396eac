// The link a line talks through (a serial device, a TCP connection to a
// device server, an application's own channel), as one small interface so
// the exchange runs the same over all of them and over a scripted link in
// tests. Each transport has its own Open, since what it needs differs.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

class Transport {
 public:
  virtual ~Transport() = default;

  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Makes the link ready for a new request: a network link lost since the
  // last exchange is connected again, and input still waiting (a late reply
  // to an earlier request) is dropped. Returns 0, or kDeviceGone when the
  // link cannot be had.
  virtual int32_t StartExchange() = 0;

  // Writes the whole block, waiting at most `wait_ms` for the link to take
  // it; returns the count the platform reports written, 0 when nothing was
  // written, or kDeviceGone when the link was lost or took too long (a
  // network link is then dropped, and the next StartExchange connects
  // again).
  virtual int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) = 0;

  // Waits up to `wait_ms` for input and reads what is there, up to `capacity`
  // bytes. Returns the count read, 0 when the wait ran out, or kDeviceGone
  // when the link reported an error, a hang-up or a closed connection.
  virtual int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) = 0;

  // How many times StartExchange has connected a lost link again, over the
  // transport's life; links that cannot be lost stay at 0.
  virtual uint32_t Reconnects() const { return 0; }

  // Why the last StartExchange, Write or Read failed, in words for people
  // ("the device server closed the connection"); set on failures only.
  const char* failure() const { return failure_; }

  static constexpr int32_t kDeviceGone = -1;

 protected:
  // `words` must be a text that lives as long as the program (a literal).
  void SetFailure(const char* words) { failure_ = words; }

 private:
  const char* failure_ = "the link failed";
};

}  // namespace zarvo
