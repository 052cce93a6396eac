#include "bus_wire.h"
#include "socket_wire.h"

namespace zarvo::sim {

// No pseudo-terminals here: the host reaches the bus over loopback TCP.
std::unique_ptr<BusWire> MakeNativeWire() { return std::make_unique<SocketWire>(); }

}  // namespace zarvo::sim
