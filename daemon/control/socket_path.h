// The control socket's address, shared by the server and its clients.
#pragma once

#include <sys/un.h>

#include <string>

namespace zarvod::control {

// Where the packaged daemon listens: its runtime folder, which systemd makes
// for the zarvod user and group only.
inline constexpr const char* kPackagedSocketFolder = "/run/zarvod";

// The socket of site `site` in `folder`: one per site, so that two sites on
// one host never take each other's requests. "Main building" listens at
// FOLDER/Main_building.sock: bytes other than letters, digits, '-', '_' and
// '.' become '_', and a leading '.' does too.
std::string SiteSocketPath(const std::string& folder, const std::string& site);

// False when `path` does not fit a Unix socket address.
bool FillSocketAddress(const std::string& path, sockaddr_un& address);
// Connects to the socket at `path`; the descriptor, or -1 with errno set.
int ConnectControlSocket(const std::string& path);
// True when a daemon accepts connections at `path`.
bool DaemonAnswers(const std::string& path);

}  // namespace zarvod::control
