// The shared broker fixture: a real mosquitto on a free loopback port, with
// its own directory for configuration, persistence and certificates. Its
// log is read on a thread of ours, so a test can wait for a line in it.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zarvo::mqtt::testing {

class BrokerProcess {
 public:
  // `extra` is appended to the configuration (TLS listeners, ACLs, bridges).
  explicit BrokerProcess(std::string extra = "");
  ~BrokerProcess();

  bool Start();
  // Configuration appended from the next start on.
  void set_extra(std::string extra) { extra_ = std::move(extra); }
  void Stop();  // SIGTERM: the broker saves its persistent sessions
  bool Restart() {
    Stop();
    return Start();
  }
  int port() const { return port_; }
  const std::string& dir() const { return dir_; }
  bool WaitForLog(const std::string& text, int timeout_ms = 10000);

  // A free loopback port, for a second listener.
  static int FreePort();

 private:
  void DrainLog(int fd);

  std::string extra_;
  std::string dir_;
  int port_ = 0;
  pid_t pid_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::condition_variable logged_;
  std::vector<std::string> log_;
};

// Makes a CA and a server certificate for 127.0.0.1 (and a client
// certificate) under `dir` with openssl; false when that fails.
bool MakeCertificates(const std::string& dir, const std::string& name);

}  // namespace zarvo::mqtt::testing
