// A bus line on the master side of a pseudo-terminal; a pipe wakes the
// serving thread.
#pragma once

#include "bus_wire.h"
#include "pseudo_terminal.h"

namespace zarvo::sim {

class PtyWire : public BusWire {
 public:
  PtyWire() = default;
  ~PtyWire() override { Close(); }
  PtyWire(const PtyWire&) = delete;
  PtyWire& operator=(const PtyWire&) = delete;

  bool Open() override;
  void Close() override;
  void HangUp() override;
  const std::string& name() const override { return pty_.device_name(); }
  long Receive(uint8_t* dest, size_t capacity) override;
  void Send(const uint8_t* bytes, size_t count) override;
  void Pause(uint32_t ms) override;
  void Wake() override;
  // On Linux the master reports the settings the host gave the slave.
  uint32_t HostSpeed() const override;

 private:
  PseudoTerminal pty_;
  int wake_pipe_[2] = {-1, -1};
};

}  // namespace zarvo::sim
