// A line whose transport is scripted and whose clock is fake.
#pragma once

#include <memory>

#include "line/line.h"
#include "scripted_transport.h"

namespace zarvo::testing {

class ScriptedLine {
 public:
  ScriptedLine()
      : clock_owner_(std::make_unique<FakeClock>()),
        clock_(*clock_owner_),
        transport_owner_(std::make_unique<ScriptedTransport>(clock_)),
        transport_(*transport_owner_),
        line_(std::move(transport_owner_), std::move(clock_owner_)) {}

  Line& line() { return line_; }
  ScriptedTransport& transport() { return transport_; }
  FakeClock& clock() { return clock_; }

  // Queues a well-formed reply arriving right after the request.
  void Reply(uint8_t address, uint8_t command, const std::vector<uint8_t>& payload = {},
             uint8_t status = 0) {
    transport_.Arrive(1, ScriptedTransport::Reply(address, command, status, payload));
  }

 private:
  std::unique_ptr<FakeClock> clock_owner_;
  FakeClock& clock_;
  std::unique_ptr<ScriptedTransport> transport_owner_;
  ScriptedTransport& transport_;
  Line line_;
};

}  // namespace zarvo::testing
