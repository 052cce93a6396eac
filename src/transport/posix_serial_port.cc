#include "transport/posix_serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "result_codes.h"

namespace zarvo {

int32_t PosixSerialPort::Open(const char* name, int32_t baud, const SerialDirection& direction,
                              OpenFailure& why) {
  Close();
  // Non-blocking only while opening, so a device waiting for carrier does
  // not hold the caller; never becomes the controlling terminal.
  const int fd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why.SetSystemError(name, errno);
    return kCannotOpen;
  }
  // Advisory lock: one process per device, which TIOCEXCL cannot ensure
  // against root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    why.Set("%s: in use by another program (it holds the lock)", name);
    ::close(fd);
    return kCannotOpen;
  }
  fd_ = fd;
  return Configure(baud, direction, why);
}

int32_t PosixSerialPort::Configure(int32_t baud, const SerialDirection& direction,
                                   OpenFailure& why) {
  tcflush(fd_, TCIOFLUSH);
  termios tio{};
  // The port stays open on the codes below, so it must block on writes
  // whichever way the settings end.
  const bool settings_taken = tcgetattr(fd_, &tio) == 0;
  if (!settings_taken) {
    why.SetSystemError("cannot read the port settings", errno);
    return ClearNonBlocking() ? kPortSettings : kPortTimeouts;
  }
  cfmakeraw(&tio);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CREAD | CLOCAL;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // Reads return at once with what is there; waiting is done with poll().
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
    why.SetSystemError("the port refused 8N1 raw settings", errno);
    return ClearNonBlocking() ? kPortSettings : kPortTimeouts;
  }
  if (!SetLineSpeed(fd_, baud)) {
    why.Set("the port refused the speed %ld bit/s", static_cast<long>(baud));
    return ClearNonBlocking() ? kLineDefinition : kPortTimeouts;
  }
  if (direction.rts_while_sending && !SetRs485Direction(fd_, direction)) {
    why.Set(
        "rs485=rts: %s (this device has no RS-485 direction control; "
        "USB adapters switch direction themselves)",
        errno == ENOTTY ? "refused by the driver" : "cannot be set");
    return ClearNonBlocking() ? kPortSettings : kPortTimeouts;
  }

  // Raise DTR where the device has modem lines; a pseudo-terminal has none.
  int dtr = TIOCM_DTR;
  ioctl(fd_, TIOCMBIS, &dtr);

  if (!ClearNonBlocking()) {
    why.SetSystemError("cannot make the port blocking", errno);
    return kPortTimeouts;
  }
  tcflush(fd_, TCIOFLUSH);
  return kOk;
}

bool PosixSerialPort::ClearNonBlocking() {
  const int flags = fcntl(fd_, F_GETFL);
  return flags >= 0 && fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) return;
  ::close(fd_);  // also releases the lock
  fd_ = -1;
}

int32_t PosixSerialPort::StartExchange() {
  tcflush(fd_, TCIFLUSH);
  return 0;
}

// Flow control is off, so the port drains at the line speed and a write
// cannot stall: it needs no deadline of its own.
int32_t PosixSerialPort::Write(const uint8_t* bytes, size_t count, uint32_t /*wait_ms*/) {
  ssize_t written;
  do {
    written = ::write(fd_, bytes, count);
  } while (written < 0 && errno == EINTR);
  if (written > 0) return static_cast<int32_t>(written);
  SetFailure("nothing could be written to the device");
  return 0;
}

int32_t PosixSerialPort::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  pollfd pfd{fd_, POLLIN, 0};
  const int ready = ::poll(&pfd, 1, static_cast<int>(wait_ms));
  if (ready < 0) {
    if (errno == EINTR) return 0;
    SetFailure("the device reported an error");
    return kDeviceGone;
  }
  if (ready == 0) return 0;
  if (pfd.revents & POLLIN) {
    const ssize_t got = ::read(fd_, dest, capacity);
    if (got > 0) return static_cast<int32_t>(got);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return 0;
  }
  // End of file, an I/O error, or POLLERR, POLLHUP or POLLNVAL without data.
  SetFailure("the device went away");
  return kDeviceGone;
}

}  // namespace zarvo
