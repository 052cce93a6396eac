// A ser2net device server run for a test: one connection from a loopback
// port to a serial device, raw TCP or Telnet with COM-port control, in the
// foreground, stopped when the object goes.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "local_tcp.h"

namespace zarvo::testing {

// ser2net's path, or "" when it is not installed.
inline std::string FindSer2net() {
  std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  path += ":/usr/sbin:/usr/local/sbin:/sbin";
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = path.find(':', start);
    const std::string dir = path.substr(start, end - start);
    const std::string candidate = (dir.empty() ? "." : dir) + "/ser2net";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

class Ser2netProcess {
 public:
  enum class Kind { kRawTcp, kTelnetComPort };

  ~Ser2netProcess() { Stop(); }

  // Serves `device` (at 9600 8N1 until a client sets it otherwise) on a
  // free loopback port; false with the reason in `error`.
  bool Start(const std::string& program, const std::string& device, Kind kind, std::string& error) {
    port_ = FreeTcpPort();
    base_ = "/tmp/zarvo-ser2net-" + std::to_string(::getpid());
    const std::string& base = base_;
    config_ = base + ".yaml";
    const std::string accepter =
        std::string(kind == Kind::kTelnetComPort ? "telnet(rfc2217),tcp" : "tcp") + ",127.0.0.1," +
        std::to_string(port_);
    std::ofstream(config_) << "connection: &zarvo\n"
                           << "  accepter: " << accepter << "\n"
                           << "  connector: serialdev," << device << ",9600n81,local\n";
    pid_ = ::fork();
    if (pid_ == 0) {
      std::freopen("/dev/null", "w", stdout);
      std::freopen((base + ".log").c_str(), "w", stderr);
      const std::string pid_file = base + ".pid";
      ::execl(program.c_str(), "ser2net", "-n", "-u", "-P", pid_file.c_str(), "-c", config_.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (pid_ < 0 || !WaitUntilAccepting(port_, 5000)) {
      error = "ser2net did not start listening on port " + std::to_string(port_) + " (see " + base +
              ".log)";
      return false;
    }
    return true;
  }

  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
      for (const char* suffix : {".yaml", ".log", ".pid"}) std::remove((base_ + suffix).c_str());
    }
    pid_ = -1;
  }

  std::string url(const char* scheme) const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
  }

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
  std::string base_;
  std::string config_;
};

}  // namespace zarvo::testing
