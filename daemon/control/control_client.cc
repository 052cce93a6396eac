#include "control_client.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "socket_path.h"

namespace zarvod::control {
namespace {

bool SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ClientStatus AskDaemon(const std::string& socket_path, const JsonObject& request,
                       const std::function<void(const ParsedRequest&)>& on_progress,
                       ParsedRequest& final_line, std::string& error) {
  const int fd = ConnectControlSocket(socket_path);
  if (fd < 0) {
    // A missing socket, or one left by a daemon that is gone.
    if (errno == ENOENT || errno == ECONNREFUSED) return ClientStatus::kNoDaemon;
    error = "cannot reach zarvod at " + socket_path + ": " + std::strerror(errno) +
            (errno == EACCES ? " (the socket is for the zarvod user and group)" : "");
    return ClientStatus::kFailed;
  }
  // A daemon serving all it can answers "busy" and closes without reading
  // the request: that answer is still there to read after a failed send.
  const bool sent = SendAll(fd, request.Line() + "\n");
  const int send_errno = errno;
  std::string pending;
  std::string last;
  char chunk[4096];
  ssize_t n = 0;
  while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0 || (n < 0 && errno == EINTR)) {
    if (n < 0) continue;
    pending.append(chunk, static_cast<size_t>(n));
    size_t end = 0;
    while ((end = pending.find('\n')) != std::string::npos) {
      if (!last.empty() && on_progress) on_progress(ParseRequestLine(last));
      last = pending.substr(0, end);
      pending.erase(0, end + 1);
    }
  }
  ::close(fd);
  if (last.empty()) {
    error = sent
                ? "zarvod closed the control connection without a reply"
                : std::string("zarvod closed the control connection: ") + std::strerror(send_errno);
    return ClientStatus::kFailed;
  }
  final_line = ParseRequestLine(last);
  return ClientStatus::kReplied;
}

}  // namespace zarvod::control
