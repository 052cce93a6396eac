#include "capture/pcap_writer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zarvo {
namespace {

#ifdef _WIN32
int CreateOutput(const char* path) {
  return _open(path, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteOutput(int fd, const uint8_t* bytes, size_t count) {
  return _write(fd, bytes, static_cast<unsigned>(count));
}
void CloseOutput(int fd) { _close(fd); }
#else
int CreateOutput(const char* path) {
  return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}
long WriteOutput(int fd, const uint8_t* bytes, size_t count) { return ::write(fd, bytes, count); }
void CloseOutput(int fd) { ::close(fd); }
#endif

// pcap numbers go least significant byte first; readers tell the order by
// the magic number.
uint8_t* PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) *at++ = static_cast<uint8_t>(value >> (8 * i));
  return at;
}

uint8_t* PutLe16(uint8_t* at, uint16_t value) {
  *at++ = static_cast<uint8_t>(value);
  *at++ = static_cast<uint8_t>(value >> 8);
  return at;
}

uint64_t WallClockUs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace

PcapWriter::PcapWriter(int fd, uint64_t trace_start_us, uint64_t wall_start_us)
    : fd_(fd), trace_start_us_(trace_start_us), wall_start_us_(wall_start_us) {}

PcapWriter::~PcapWriter() { CloseOutput(fd_); }

PcapWriter* PcapWriter::Create(const char* path, uint64_t trace_now_us) {
  const int fd = CreateOutput(path);
  if (fd < 0) return nullptr;
  void* storage = std::malloc(sizeof(PcapWriter));
  if (storage == nullptr) {
    CloseOutput(fd);
    return nullptr;
  }
  PcapWriter* writer = new (storage) PcapWriter(fd, trace_now_us, WallClockUs());
  uint8_t header[24];
  uint8_t* at = PutLe32(header, 0xA1B2C3D4);  // microsecond timestamps
  at = PutLe16(at, 2);                        // format version 2.4
  at = PutLe16(at, 4);
  at = PutLe32(at, 0);  // times are UTC
  at = PutLe32(at, 0);  // accuracy not known
  at = PutLe32(at, 65535);
  PutLe32(at, kLinkTypeUser0);
  if (!writer->WriteOut(header, sizeof header)) {
    Destroy(writer);
    return nullptr;
  }
  return writer;
}

void PcapWriter::Destroy(PcapWriter* writer) {
  if (writer == nullptr) return;
  writer->~PcapWriter();
  std::free(writer);
}

void PcapWriter::Write(uint8_t direction, uint64_t trace_us, const char* name, const uint8_t* bytes,
                       size_t count) {
  if (failed_) return;
  const size_t name_length = std::min(std::strlen(name), kMaxName);
  const size_t kept = std::min(count, kMaxFrame);
  const uint64_t at_us = wall_start_us_ + (trace_us - trace_start_us_);
  const size_t captured = 2 + name_length + kept;

  uint8_t* at = PutLe32(record_, static_cast<uint32_t>(at_us / 1000000));
  at = PutLe32(at, static_cast<uint32_t>(at_us % 1000000));
  at = PutLe32(at, static_cast<uint32_t>(captured));
  at = PutLe32(at, static_cast<uint32_t>(2 + name_length + count));
  *at++ = direction;
  *at++ = static_cast<uint8_t>(name_length);
  std::memcpy(at, name, name_length);
  std::memcpy(at + name_length, bytes, kept);
  failed_ = !WriteOut(record_, kRecordHeader + captured);
}

bool PcapWriter::WriteOut(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const long written = WriteOutput(fd_, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace zarvo
