// The kernel's RS-485 mode: the UART driver raises RTS for the length of
// each transmission, timed by the driver rather than by the library.
#include <linux/serial.h>
#include <sys/ioctl.h>

#include "transport/posix_serial_port.h"

namespace zarvo {

bool SetRs485Direction(int fd, const SerialDirection& direction) {
  serial_rs485 rs485{};
  rs485.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  rs485.delay_rts_before_send = direction.rts_before_ms;
  rs485.delay_rts_after_send = direction.rts_after_ms;
  return ioctl(fd, TIOCSRS485, &rs485) == 0;
}

}  // namespace zarvo
