#include "control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "socket_path.h"

namespace zarvod::control {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits until `fd` is ready for `events`, the server stops (`wake_fd`) or
// `deadline` passes; true only in the first case.
bool WaitFor(int fd, short events, int wake_fd, SteadyClock::time_point deadline) {
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    if (left.count() <= 0) return false;
    pollfd fds[2] = {{fd, events, 0}, {wake_fd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, static_cast<int>(left.count()) + 1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

class SocketReplies : public ReplyStream {
 public:
  SocketReplies(int fd, int wake_fd, std::chrono::milliseconds line_deadline,
                std::stop_token server_stop)
      : fd_(fd),
        wake_fd_(wake_fd),
        line_deadline_(line_deadline),
        on_server_stop_(std::move(server_stop), [this] { source_.request_stop(); }) {}

  // A client that does not take a line within its deadline is let go, so
  // that it holds neither its place nor the daemon's stop.
  bool Send(const JsonObject& line) override {
    const std::string text = line.Line() + "\n";
    const SteadyClock::time_point deadline = SteadyClock::now() + line_deadline_;
    size_t sent = 0;
    while (sent < text.size()) {
      const ssize_t n =
          ::send(fd_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
          WaitFor(fd_, POLLOUT, wake_fd_, deadline)) {
        continue;
      }
      if (n <= 0) {
        source_.request_stop();  // the client has gone: stop what it asked for
        return false;
      }
      sent += static_cast<size_t>(n);
    }
    return true;
  }
  std::stop_token stop() const override { return source_.get_token(); }

 private:
  int fd_;
  int wake_fd_;
  std::chrono::milliseconds line_deadline_;
  std::stop_source source_;
  std::stop_callback<std::function<void()>> on_server_stop_;
};

// Reads up to the first newline, all of it by `deadline`. Returns the line,
// or sets `error`.
std::string ReadRequest(int fd, int wake_fd, SteadyClock::time_point deadline, std::string& error) {
  std::string line;
  char chunk[4096];
  while (true) {
    if (!WaitFor(fd, POLLIN, wake_fd, deadline)) {
      error = "request:1:1: no whole request line arrived in time";
      return "";
    }
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (line.empty()) error = "request:1:1: the connection closed before a request";
      return line;  // a last line without its newline is taken as it is
    }
    const size_t before = line.size();
    line.append(chunk, static_cast<size_t>(n));
    if (const size_t end = line.find('\n', before); end != std::string::npos) {
      line.resize(end);
      return line;
    }
    if (line.size() > ControlServer::kMaxRequestBytes) {
      error = "request:1:" + std::to_string(ControlServer::kMaxRequestBytes + 1) +
              ": request longer than " + std::to_string(ControlServer::kMaxRequestBytes) + " bytes";
      return "";
    }
  }
}

// Why a request is not for `site`, or "" when it is (or names no site).
std::string WrongSite(const ParsedRequest& request, const std::string& site) {
  const auto field = request.fields.find("site");
  if (field == request.fields.end() || site.empty()) return "";
  const auto* asked = std::get_if<std::string>(&field->second.value);
  const std::string at = "request:1:" + std::to_string(field->second.column) + ": ";
  if (asked == nullptr) return at + "\"site\" must be a string";
  if (*asked == site) return "";
  return at + "this zarvod serves site '" + site + "', not '" + *asked +
         "': nothing was done (check --socket and the site file)";
}

}  // namespace

JsonObject ErrorReply(const std::string& message) {
  return JsonObject().Set("ok", false).Set("error", message);
}

JsonObject CommandTable::Dispatch(const ParsedRequest& request, ReplyStream& replies) const {
  if (!request.error.empty()) return ErrorReply(request.error);
  const auto field = request.fields.find("command");
  if (field == request.fields.end()) return ErrorReply("request:1:1: no \"command\" key");
  const auto* name = std::get_if<std::string>(&field->second.value);
  const std::string at = "request:1:" + std::to_string(field->second.column) + ": ";
  if (name == nullptr) return ErrorReply(at + "\"command\" must be a string");
  const auto handler = handlers_.find(*name);
  if (handler == handlers_.end()) return ErrorReply(at + "unknown command '" + *name + "'");
  if (const std::string refusal = WrongSite(request, site_); !refusal.empty()) {
    return ErrorReply(refusal);
  }
  try {
    return handler->second(request, replies);
  } catch (const std::exception& e) {
    return ErrorReply(*name + ": " + e.what());
  }
}

std::string ControlServer::Start(const std::string& path) {
  sockaddr_un address{};
  if (!FillSocketAddress(path, address)) return "control socket path too long: " + path;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISSOCK(info.st_mode)) return path + " exists and is not a socket";
    if (DaemonAnswers(path)) return "another zarvod answers on " + path;
    ::unlink(path.c_str());
  }
  listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0 || ::pipe2(wake_pipe_, O_CLOEXEC) != 0) {
    return std::string("control socket: ") + std::strerror(errno);
  }
  // Created without any permission for others, then opened to the group:
  // no moment in which anyone else could connect.
  const mode_t old_mask = ::umask(0177);
  const int bound = ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::umask(old_mask);
  if (bound != 0 || ::chmod(path.c_str(), 0660) != 0 || ::listen(listen_fd_, 16) != 0) {
    const std::string why = std::strerror(errno);
    Stop();
    return "control socket " + path + ": " + why;
  }
  path_ = path;
  acceptor_ = std::jthread([this](std::stop_token stop) { Accept(stop); });
  return "";
}

void ControlServer::Accept(std::stop_token stop) {
  while (!stop.stop_requested()) {
    pollfd fds[2] = {{listen_fd_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if ((fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    std::lock_guard lock(mutex_);
    clients_.remove_if([](const Client& c) { return c.done->load(); });
    if (clients_.size() >= kMaxClients) {
      const std::string busy =
          ErrorReply("zarvod is serving " + std::to_string(kMaxClients) + " requests; try again")
              .Line() +
          "\n";
      [[maybe_unused]] const ssize_t n = ::send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
      ::close(fd);
      continue;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    clients_.push_back({done, std::jthread([this, fd, done](std::stop_token client_stop) {
                          Serve(fd, client_stop);
                          // Free the place before the client sees the end,
                          // so that its next request finds it free.
                          done->store(true);
                          ::close(fd);
                        })});
  }
}

void ControlServer::Serve(int fd, std::stop_token stop) {
  SocketReplies replies(fd, wake_pipe_[0], deadlines_.reply_line, std::move(stop));
  std::string error;
  const std::string line =
      ReadRequest(fd, wake_pipe_[0], SteadyClock::now() + deadlines_.request, error);
  const JsonObject reply =
      error.empty() ? commands_.Dispatch(ParseRequestLine(line), replies) : ErrorReply(error);
  replies.Send(reply);
}

void ControlServer::Stop() {
  if (wake_pipe_[1] >= 0) {
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_pipe_[1], &wake, 1);
  }
  if (acceptor_.joinable()) {
    acceptor_.request_stop();
    acceptor_.join();
  }
  {
    std::lock_guard lock(mutex_);
    for (Client& client : clients_) client.thread.request_stop();
    clients_.clear();  // joins each
  }
  for (int* fd : {&listen_fd_, &wake_pipe_[0], &wake_pipe_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

}  // namespace zarvod::control
