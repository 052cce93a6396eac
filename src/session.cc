#include "session.h"

#include <utility>

namespace zarvo {

Session::Session(std::unique_ptr<SerialPort> port, std::unique_ptr<Clock> clock)
    : port_(std::move(port)), clock_(std::move(clock)) {}

Session& Session::Default() {
  // Lives from first use to process exit; its destructor closes an open port.
  static Session session(MakePlatformSerialPort(),
                         std::make_unique<MonotonicClock>());
  return session;
}

int32_t Session::OpenPort(const char* name, int32_t baud) {
  port_->Close();
  return port_->Open(name, baud);
}

void Session::ClosePort() { port_->Close(); }

std::unique_ptr<SerialPort> Session::SwapPort(std::unique_ptr<SerialPort> port) {
  std::swap(port, port_);
  return port;
}

}  // namespace zarvo
