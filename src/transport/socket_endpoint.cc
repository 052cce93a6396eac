#include "transport/socket_endpoint.h"

#include <cstring>

namespace zarvo::net {
namespace {

bool ParsePort(const char* text, Endpoint& out) {
  const size_t length = std::strlen(text);
  if (length == 0 || length >= sizeof out.port) return false;
  long value = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  if (value < 1 || value > 65535) return false;
  std::memcpy(out.port, text, length + 1);
  return true;
}

bool CopyHost(const char* begin, size_t length, Endpoint& out) {
  if (length == 0 || length >= sizeof out.host) return false;
  std::memcpy(out.host, begin, length);
  out.host[length] = '\0';
  return true;
}

}  // namespace

bool ParseEndpoint(const char* text, Endpoint& out) {
  if (text == nullptr) return false;
  if (text[0] == '[') {
    const char* close = std::strchr(text, ']');
    if (close == nullptr || close[1] != ':') return false;
    return CopyHost(text + 1, static_cast<size_t>(close - text - 1), out) &&
           ParsePort(close + 2, out);
  }
  const char* colon = std::strrchr(text, ':');
  // A bare IPv6 address has more than one colon and must be bracketed.
  if (colon == nullptr || std::strchr(text, ':') != colon) return false;
  return CopyHost(text, static_cast<size_t>(colon - text), out) && ParsePort(colon + 1, out);
}

}  // namespace zarvo::net
