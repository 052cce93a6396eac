// The control socket's address, shared by the server and its clients.
#pragma once

#include <sys/un.h>

#include <string>

namespace zarvod::control {

// Where the packaged daemon listens: its runtime folder, which systemd makes
// for the zarvod user and group only.
inline constexpr const char* kPackagedSocketPath = "/run/zarvod/zarvod.sock";

// False when `path` does not fit a Unix socket address.
bool FillSocketAddress(const std::string& path, sockaddr_un& address);
// Connects to the socket at `path`; the descriptor, or -1 with errno set.
int ConnectControlSocket(const std::string& path);
// True when a daemon accepts connections at `path`.
bool DaemonAnswers(const std::string& path);

}  // namespace zarvod::control
