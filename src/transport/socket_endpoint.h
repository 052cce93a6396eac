// "HOST:PORT" as a network port name carries it: a host name, an IPv4
// address or a bracketed IPv6 address ("[::1]:4001"), and a port 1-65535.
#pragma once

#include <cstddef>

namespace zarvo::net {

struct Endpoint {
  char host[256] = {};
  char port[6] = {};
};

// Splits `text` into host and port; false when it is not of that form.
bool ParseEndpoint(const char* text, Endpoint& out);

}  // namespace zarvo::net
