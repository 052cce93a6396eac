// Line speed on Linux: standard rates through termios, as every driver
// knows them, and any other rate through the termios2 interface (BOTHER).
// Kept in its own file because the kernel's termios2 header cannot share a
// translation unit with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstdint>

#include "transport/posix_serial_port.h"

namespace zarvo {

bool SetLineSpeed(int fd, int32_t baud) {
  if (baud <= 0) return false;
  if (SetStandardLineSpeed(fd, baud)) return true;
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
  tio.c_cflag |= BOTHER;
  tio.c_ispeed = static_cast<speed_t>(baud);
  tio.c_ospeed = static_cast<speed_t>(baud);
  return ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace zarvo
