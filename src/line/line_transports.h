// The transports a line can open by port name, held in the line's own
// storage so that opening allocates nothing; one of them is in use at a
// time.
#pragma once

#include "transport/channel_transport.h"
#include "transport/tcp_transport.h"
#include "transport/telnet_transport.h"

#if defined(_WIN32)
#include "transport/win32_serial_port.h"
#else
#include "transport/posix_serial_port.h"
#endif

namespace zarvo {

struct LineTransports {
  PlatformSerialPort serial;
  TcpTransport tcp;
  TelnetTransport telnet;
  ChannelTransport channel;
};

}  // namespace zarvo
