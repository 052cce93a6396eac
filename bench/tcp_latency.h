#pragma once

namespace zarvo::bench {

// tcp:// on loopback against a raw TCP round trip to the same device
// server; prints the figures and returns the count of failed calls.
int TcpLatencyFigures(int round_trips);

}  // namespace zarvo::bench
