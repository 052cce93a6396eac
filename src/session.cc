#include "session.h"

#include <utility>

#if defined(_WIN32)
#include "serial/win32_serial_port.h"
#else
#include "serial/posix_serial_port.h"
#endif

namespace zarvo {

Session::Session(std::unique_ptr<SerialPort> port, std::unique_ptr<Clock> clock)
    : owned_port_(std::move(port)),
      owned_clock_(std::move(clock)),
      port_(owned_port_.get()),
      clock_(owned_clock_.get()) {}

Session& Session::Default() {
  // From first use to unload; the port is destroyed last, closing itself.
  static PlatformSerialPort port;
  static MonotonicClock clock;
  static Session session(port, clock);
  return session;
}

int32_t Session::OpenPort(const char* name, int32_t baud) {
  port_->Close();
  return port_->Open(name, baud);
}

void Session::ClosePort() { port_->Close(); }

SerialPort& Session::ReplacePort(SerialPort& port) {
  SerialPort& previous = *port_;
  port_ = &port;
  return previous;
}

}  // namespace zarvo
