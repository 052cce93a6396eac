// The daemon's local control socket. A client connects to the Unix socket,
// sends one request line (a JSON object with a "command"), and receives
// reply lines: any number of progress lines, then one final line with
// "ok": true or "ok": false and an "error" naming the place of the fault.
// Who may connect is decided by the socket file's permissions: 0660, so the
// daemon's user and group only. A request that cannot be parsed or names
// no known command is answered with an error and reaches no controller.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "json_line.h"

namespace zarvod::control {

// Where a command sends its lines while it runs.
class ReplyStream {
 public:
  virtual ~ReplyStream() = default;
  // Sends one line; false once the client has gone.
  virtual bool Send(const JsonObject& line) = 0;
  // Requested when the client has gone or the daemon is stopping.
  virtual std::stop_token stop() const = 0;
};

// A command: takes the request, may send progress lines, returns the final
// line (ok, and what it has to say).
using CommandHandler = std::function<JsonObject(const ParsedRequest&, ReplyStream&)>;

class CommandTable {
 public:
  void Add(const std::string& name, CommandHandler handler) {
    handlers_[name] = std::move(handler);
  }
  // The site these commands act on: a request whose "site" names another is
  // refused before its command runs (a client of the wrong site's socket).
  void ServeSite(std::string site) { site_ = std::move(site); }
  // Runs the request's command, or answers with the fault that stops it.
  JsonObject Dispatch(const ParsedRequest& request, ReplyStream& replies) const;

 private:
  std::map<std::string, CommandHandler> handlers_;
  std::string site_;
};

JsonObject ErrorReply(const std::string& message);

// How long a client may take: a slow or stuck client must not hold one of
// the few places, nor hold up the daemon's stop.
struct ClientDeadlines {
  std::chrono::milliseconds request{10000};     // to send the whole request line
  std::chrono::milliseconds reply_line{10000};  // to take each reply line
};

class ControlServer {
 public:
  static constexpr size_t kMaxRequestBytes = 16 << 20;  // a card list of some 200 000 rows
  static constexpr size_t kMaxClients = 16;             // served at once; more are turned away

  explicit ControlServer(const CommandTable& commands, ClientDeadlines deadlines = {})
      : commands_(commands), deadlines_(deadlines) {}
  ~ControlServer() { Stop(); }
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Listens at `path`; returns why it cannot ("" on success). A socket file
  // left by a daemon that is gone is replaced; one that answers is not.
  std::string Start(const std::string& path);
  // Stops taking requests, asks running commands to stop, and waits for them.
  void Stop();

 private:
  void Accept(std::stop_token stop);
  void Serve(int fd, std::stop_token stop);

  const CommandTable& commands_;
  const ClientDeadlines deadlines_;
  std::string path_;
  int listen_fd_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::jthread acceptor_;
  struct Client {
    std::shared_ptr<std::atomic<bool>> done;
    std::jthread thread;
  };
  std::mutex mutex_;
  std::list<Client> clients_;  // finished ones are joined at the next accept
};

}  // namespace zarvod::control
