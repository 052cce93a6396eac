// Frames written to a classic pcap capture file, as packet analysers read
// it: link type USER0, one record per frame, each carrying a small header of
// ours ahead of the frame's bytes (direction, port name). Every record goes
// out in one write as it happens, so a process that dies leaves a readable
// file behind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

class PcapWriter {
 public:
  static constexpr uint32_t kLinkTypeUser0 = 147;
  // Longest port name kept in a record; longer names are cut.
  static constexpr size_t kMaxName = 255;
  // Longest frame kept in a record; a longer one is cut, and its record
  // still tells its full length.
  static constexpr size_t kMaxFrame = 8200;

  // Creates (or replaces) the file at `path` and writes its header; nullptr
  // when the file cannot be created or the writer's memory not had: the one
  // allocation of a capture. `trace_now_us` is the trace clock now: each
  // record's time is the wall clock at this call plus the trace time since.
  static PcapWriter* Create(const char* path, uint64_t trace_now_us);
  // Closes the file and frees the writer; nullptr is ignored.
  static void Destroy(PcapWriter* writer);

  PcapWriter(const PcapWriter&) = delete;
  PcapWriter& operator=(const PcapWriter&) = delete;

  // Writes one record: `direction`, `name`, then the frame's bytes. After a
  // failed write (a full disk) nothing more is written, so the file never
  // holds a half record followed by whole ones.
  void Write(uint8_t direction, uint64_t trace_us, const char* name, const uint8_t* bytes,
             size_t count);

 private:
  static constexpr size_t kRecordHeader = 16;
  PcapWriter(int fd, uint64_t trace_start_us, uint64_t wall_start_us);
  ~PcapWriter();
  bool WriteOut(const uint8_t* bytes, size_t count);

  int fd_;
  uint64_t trace_start_us_;
  uint64_t wall_start_us_;
  bool failed_ = false;
  uint8_t record_[kRecordHeader + 2 + kMaxName + kMaxFrame];
};

}  // namespace zarvo
