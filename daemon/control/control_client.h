// The client side of the control socket, for the command line.
#pragma once

#include <functional>
#include <string>

#include "json_line.h"

namespace zarvod::control {

enum class ClientStatus {
  kReplied,   // the daemon answered; `final_line` holds its last line
  kNoDaemon,  // nothing listens at the path: the caller may open the lines itself
  kFailed,    // a daemon is there but could not be asked (`error` says why)
};

// Sends one request and reads the reply lines: `on_progress` gets each line
// before the last, which is parsed into `final_line`.
ClientStatus AskDaemon(const std::string& socket_path, const JsonObject& request,
                       const std::function<void(const ParsedRequest&)>& on_progress,
                       ParsedRequest& final_line, std::string& error);

}  // namespace zarvod::control
