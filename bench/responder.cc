#include "responder.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <vector>

#include "codec/frame_codec.h"
#include "request_parser.h"

namespace zarvo::bench {
namespace {

void SleepUntil(const timespec& when) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &when, nullptr) != 0) {
  }
}

timespec After(timespec t, uint64_t ns) {
  ns += static_cast<uint64_t>(t.tv_nsec);
  t.tv_sec += static_cast<time_t>(ns / 1000000000u);
  t.tv_nsec = static_cast<long>(ns % 1000000000u);
  return t;
}

}  // namespace

size_t ReplyPayloadSize(uint8_t command) {
  switch (command) {
    case 29:
    case 31:
    case 33:
    case 35: return 256;
    default: return 0;
  }
}

bool Responder::Start() {
  if (!pty_.Open() || ::pipe2(stop_pipe_, O_CLOEXEC) != 0) return false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void Responder::Stop() {
  if (stop_pipe_[1] >= 0) (void)!::write(stop_pipe_[1], "x", 1);
  if (thread_.joinable()) thread_.join();
  for (int& fd : stop_pipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  pty_.Close();
}

void Responder::Serve() {
  std::vector<uint8_t> frame;
  uint8_t chunk[4096];
  for (;;) {
    pollfd fds[2] = {{pty_.master_fd(), POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const ssize_t n = ::read(pty_.master_fd(), chunk, sizeof chunk);
    if (n <= 0) continue;
    for (ssize_t i = 0; i < n; ++i) {
      if (chunk[i] == kRequestStart) frame.clear();
      frame.push_back(chunk[i]);
      if (chunk[i] == kRequestEnd) {
        Answer(frame.data(), frame.size());
        frame.clear();
      }
    }
  }
}

void Responder::Answer(const uint8_t* wire, size_t count) {
  std::vector<uint8_t> body;
  if (!sim::DecodeRequestFrame(wire, count, body) || body.size() < 3) return;
  ++requests_;
  if (body[1] == kSilentAddress || silent_) return;
  std::vector<uint8_t> frame = {kReplyStart, 0x01, body[1], body[2], 0};
  frame.resize(frame.size() + ReplyPayloadSize(body[2]), 0x08);
  const uint16_t crc = Crc16(frame.data() + 1, frame.size() - 1);
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(kReplyEnd);
  std::vector<uint8_t> reply(2 * frame.size() - 2);
  EncodeFrame(frame.data(), frame.size(), reply.data());
  if (paced_baud_ == 0) {
    sim::WriteAll(pty_.master_fd(), reply.data(), reply.size());
  } else {
    SendPaced(reply.data(), reply.size(), count);
  }
}

// 10 bits per byte on an 8N1 line: the request's last byte arrived
// request_bytes byte-times after its first, and each reply byte leaves one
// byte-time after the previous one.
void Responder::SendPaced(const uint8_t* bytes, size_t count, size_t request_bytes) {
  const uint64_t byte_ns = 10ull * 1000000000ull / paced_baud_;
  timespec at{};
  clock_gettime(CLOCK_MONOTONIC, &at);
  at = After(at, byte_ns * request_bytes);
  for (size_t i = 0; i < count; ++i) {
    at = After(at, byte_ns);
    SleepUntil(at);
    sim::WriteAll(pty_.master_fd(), &bytes[i], 1);
  }
}

}  // namespace zarvo::bench
