#include "line_conditions.h"

#include <termios.h>

#include <iterator>

#include "codec/frame_codec.h"

namespace zarvo::sim {
namespace {

struct Speed {
  speed_t code;
  uint32_t baud;
};

constexpr Speed kSpeeds[] = {{B1200, 1200},   {B2400, 2400},     {B4800, 4800},
                             {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                             {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};

constexpr uint8_t kStray[] = {0x7F, 0xF3, 0x3C};

}  // namespace

uint32_t HostLineSpeed(int master_fd) {
  termios tio{};
  if (tcgetattr(master_fd, &tio) != 0) return 0;
  const speed_t code = cfgetospeed(&tio);
  for (const Speed& s : kSpeeds) {
    if (s.code == code) return s.baud;
  }
  return 0;
}

std::vector<uint8_t> AtOtherSpeed(const Request& request) {
  // About a probe reply's worth of bytes, different for each address.
  std::vector<uint8_t> garbage(14);
  for (size_t i = 0; i < garbage.size(); ++i) {
    uint8_t b =
        static_cast<uint8_t>(0x80 | ((i * 29 + request.address * 7u + request.command) & 0x7F));
    if (b == kReplyStart || b == kRequestStart) ++b;
    garbage[i] = b;
  }
  return garbage;
}

void AddStrayBytes(std::vector<uint8_t>& wire) {
  wire.insert(wire.begin(), std::begin(kStray), std::end(kStray));
}

}  // namespace zarvo::sim
