// Port names as applications and command lines give them: the name and
// option parser and the HOST:PORT parser must stay inside the text and
// their buffers, and leave every text they fill terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "line/line_options.h"
#include "transport/open_failure.h"
#include "transport/socket_endpoint.h"

namespace {

bool Terminated(const char* text, size_t capacity) {
  return std::memchr(text, '\0', capacity) != nullptr;
}

void CheckEndpoint(const char* text) {
  zarvo::net::Endpoint endpoint;
  if (!zarvo::net::ParseEndpoint(text, endpoint)) return;
  if (!Terminated(endpoint.host, sizeof endpoint.host) || endpoint.host[0] == '\0') std::abort();
  if (!Terminated(endpoint.port, sizeof endpoint.port)) std::abort();
  for (const char* digit = endpoint.port; *digit != '\0'; ++digit) {
    if (*digit < '0' || *digit > '9') std::abort();
  }
}

}  // namespace

// Input: a name capacity selector, then the port name (cut at a NUL).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t capacity = 1 + data[0] % 64;
  // Exactly the text and its terminator, so any read beyond is caught.
  std::vector<char> port_name(data + 1, data + size);
  port_name.push_back('\0');
  std::vector<char> name(capacity);
  zarvo::LineOptions options;
  zarvo::OpenFailure why;
  if (zarvo::ParsePortName(port_name.data(), name.data(), name.size(), options, why)) {
    if (!Terminated(name.data(), capacity)) std::abort();
    CheckEndpoint(name.data());
    if (std::strncmp(name.data(), "tcp://", 6) == 0) CheckEndpoint(name.data() + 6);
  } else if (why.empty()) {
    std::abort();  // every refusal says why
  }
  if (!Terminated(why.text(), zarvo::OpenFailure::kCapacity)) std::abort();

  // One option from raw bytes, split at the first '='.
  const std::string_view pair(port_name.data(), port_name.size() - 1);
  const size_t eq = pair.find('=');
  if (eq != std::string_view::npos) {
    zarvo::OpenFailure option_why;
    zarvo::ApplyLineOption(options, pair.substr(0, eq), pair.substr(eq + 1), option_why);
  }
  CheckEndpoint(port_name.data());
  return 0;
}
