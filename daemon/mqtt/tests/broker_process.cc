#include "broker_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace zarvo::mqtt::testing {

BrokerProcess::BrokerProcess(std::string extra) : extra_(std::move(extra)) {
  char pattern[] = "/tmp/zarvo-broker-XXXXXX";
  dir_ = mkdtemp(pattern);
  port_ = FreePort();
}

BrokerProcess::~BrokerProcess() {
  Stop();
  std::system(("rm -rf " + dir_).c_str());
}

int BrokerProcess::FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool BrokerProcess::Start() {
  const std::string config = dir_ + "/mosquitto.conf";
  std::ofstream(config) << "listener " << port_ << " 127.0.0.1\n"
                        << "allow_anonymous true\n"
                        // Started by root, the broker would otherwise become
                        // another user that cannot write our directory.
                        << "user " << (getuid() == 0 ? "root" : "nobody") << "\n"
                        << "persistence true\npersistence_location " << dir_
                        << "/\n"
                        // A subscriber away during a long outage gets the
                        // whole backlog (1000 queued messages by default).
                        << "max_queued_messages 0\n"
                        << "log_dest stderr\nlog_type all\n"
                        << extra_ << "\n";
  int fds[2];
  if (pipe(fds) != 0) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(fds[1], STDERR_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[0]);
    execl(ZARVO_MOSQUITTO, "mosquitto", "-c", config.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  reader_ = std::thread([this, fd = fds[0]] { DrainLog(fd); });
  return WaitForLog(" running");
}

void BrokerProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  reader_.join();
}

void BrokerProcess::DrainLog(int fd) {
  std::string pending;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) {
    pending.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (std::getenv("ZARVO_BROKER_LOG") != nullptr)
        std::fprintf(stderr, "broker: %s\n", pending.substr(0, end).c_str());
      log_.push_back(pending.substr(0, end));
      pending.erase(0, end + 1);
      logged_.notify_all();
    }
  }
  close(fd);
  std::lock_guard<std::mutex> lock(mutex_);
  log_.push_back("(broker exited)");
  logged_.notify_all();
}

bool BrokerProcess::WaitForLog(const std::string& text, int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return logged_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
    for (const std::string& line : log_) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  });
}

bool MakeCertificates(const std::string& dir, const std::string& name) {
  const std::string d = dir + "/" + name;
  const std::string script =
      "set -e; mkdir -p " + d + "; cd " + d +
      "; openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
      "/CN=" +
      name +
      "-ca -keyout ca.key -out ca.crt 2>/dev/null"
      "; openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=127.0.0.1 "
      "-keyout server.key"
      " -out server.csr 2>/dev/null"
      "; printf 'subjectAltName=IP:127.0.0.1\\n' > san.ext"
      "; openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2"
      " -extfile san.ext -out server.crt 2>/dev/null"
      "; openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj /CN=site-daemon "
      "-keyout client.key"
      " -out client.csr 2>/dev/null"
      "; openssl x509 -req -in client.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2"
      " -out client.crt 2>/dev/null";
  return std::system(script.c_str()) == 0;
}

}  // namespace zarvo::mqtt::testing
