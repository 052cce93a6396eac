// The line a virtual bus answers on, seen from the controllers' end: a
// pseudo-terminal master on POSIX systems, a loopback TCP connection where
// there are no pseudo-terminals. The bus's serving thread calls Receive,
// Send, Pause and HangUp; any thread may call Wake.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zarvo::sim {

class BusWire {
 public:
  virtual ~BusWire() = default;

  // Brings the line up; false (errno set where the system gives a reason)
  // when it cannot.
  virtual bool Open() = 0;
  // Takes the line down and frees everything Open took; the serving
  // thread must have ended.
  virtual void Close() = 0;
  // Lets the bytes sent so far leave, then hangs up: the host sees its
  // line gone and Receive reports the line closed from then on.
  virtual void HangUp() = 0;

  // The port name a host opens: a device path or "tcp://127.0.0.1:PORT".
  virtual const std::string& name() const = 0;

  // Waits for bytes from the host: the count read, 0 when there was
  // nothing to read after all (call again), -1 after Wake or a hang-up.
  virtual long Receive(uint8_t* dest, size_t capacity) = 0;
  // Sends all the bytes, unless the host is gone.
  virtual void Send(const uint8_t* bytes, size_t count) = 0;
  // Waits `ms`, cut short by Wake.
  virtual void Pause(uint32_t ms) = 0;
  // Ends the waits of Receive and Pause, now and until the next Open.
  virtual void Wake() = 0;
  // The speed in bit/s the host set its end of the line to, where the wire
  // can tell; 0 when it cannot.
  virtual uint32_t HostSpeed() const { return 0; }
};

// The line this system serves on by default: a pseudo-terminal, or a
// loopback TCP listener where there are none.
std::unique_ptr<BusWire> MakeNativeWire();

}  // namespace zarvo::sim
