#include "bus_wire.h"
#include "pty_wire.h"

namespace zarvo::sim {

std::unique_ptr<BusWire> MakeNativeWire() { return std::make_unique<PtyWire>(); }

}  // namespace zarvo::sim
