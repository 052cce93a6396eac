// A session whose port is a scripted line and whose clock is fake.
#pragma once

#include <memory>

#include "scripted_line.h"
#include "session.h"

namespace zarvo::testing {

class ScriptedSession {
 public:
  ScriptedSession()
      : clock_owner_(std::make_unique<FakeClock>()),
        clock_(*clock_owner_),
        line_owner_(std::make_unique<ScriptedLine>(clock_)),
        line_(*line_owner_),
        session_(std::move(line_owner_), std::move(clock_owner_)) {}

  Session& session() { return session_; }
  ScriptedLine& line() { return line_; }
  FakeClock& clock() { return clock_; }

  // Queues a well-formed reply arriving right after the request.
  void Reply(uint8_t address, uint8_t command, const std::vector<uint8_t>& payload = {},
             uint8_t status = 0) {
    line_.Arrive(1, ScriptedLine::Reply(address, command, status, payload));
  }

 private:
  std::unique_ptr<FakeClock> clock_owner_;
  FakeClock& clock_;
  std::unique_ptr<ScriptedLine> line_owner_;
  ScriptedLine& line_;
  Session session_;
};

}  // namespace zarvo::testing
