// A line: one link to a bus of controllers, with everything that belongs to
// it (its transport, its lock, the duration of its last exchange, its table
// caches, its options and trace hook). The default line serves the plain
// Zarvo_ exports; applications create more through the line handle; tests
// build lines around a scripted transport and a fake clock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "line/last_error.h"
#include "line/line_options.h"
#include "line/line_stats.h"
#include "mutex.h"
#include "transport/clock.h"
#include "transport/open_failure.h"
#include "transport/transport.h"
#include "zarvoac.h"

namespace zarvo {

// A copy of the last table block read, keyed by the first four bytes of the
// read request that filled it (all zero: empty).
struct TableCache {
  std::array<uint8_t, 256> data{};
  std::array<uint8_t, 4> key{};

  bool IsEmpty() const { return key == std::array<uint8_t, 4>{}; }
  void Empty() { key = {}; }
};

struct ChainCache {
  std::array<uint8_t, 16> data{};
};

struct LineTransports;
class PcapWriter;

class Line {
 public:
  // The encoded reply may be at most this long.
  static constexpr size_t kMaxReply = 8192;
  // Longest request body that still encodes into kMaxRequestWire bytes.
  static constexpr int32_t kMaxBody = 4093;
  static constexpr size_t kMaxRequestWire = 2 * kMaxBody + 6;
  static constexpr uint32_t kDefaultSilenceMs = 500;
  // Longest port name kept, options excluded.
  static constexpr size_t kMaxName = 256;

  // A line that opens its transport by port name from `transports`.
  Line(LineTransports& transports, Clock& clock);
  // A line over one fixed transport (already open, or opened by its owner)
  // and a clock, both outliving it.
  Line(Transport& transport, Clock& clock);
  // The same, owning both.
  Line(std::unique_ptr<Transport> transport, std::unique_ptr<Clock> clock);
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;
  ~Line();

  // The line of the plain Zarvo_ exports and of Zarvo_DefaultLine(), in
  // static storage (nothing is allocated).
  static Line& Default();

  // Every exported call holds this lock for its whole duration.
  MutexLock Lock() { return MutexLock(mutex_); }

  // Closes what is open, then opens the port named `port_name` (a device,
  // tcp://, rfc2217://, with options after '?'). Returns 0 or a ZARVO_E_*
  // code; on -1 nothing is open, on -2 to -5 the device stays open. The
  // reason for a failure is in open_failure(). A NULL name fails with -1.
  int32_t Open(const char* port_name, int32_t baud);
  // Closes what is open and carries the line over `channel`; false when the
  // channel lacks its write or read function.
  bool OpenChannel(const ZarvoChannel& channel);
  void Close();
  bool IsOpen() const { return transport_->IsOpen(); }
  const OpenFailure& open_failure() const { return open_failure_; }
  // The port name of the last open, without its options.
  const char* name() const { return name_; }

  // Why the last call failed; empty after one that succeeded.
  const LastError& last_error() const { return last_error_; }
  LastError& last_error() { return last_error_; }
  // Brackets every exported call: a success leaves the text empty, and a
  // failure that set no text of its own gets the words for its result.
  void BeginCall() { last_error_.Clear(); }
  int32_t EndCall(int32_t result) {
    if (result >= 0) {
      last_error_.Clear();
    } else if (last_error_.empty()) {
      last_error_.Set("%s", ResultWords(result));
    }
    return result;
  }

  // Options set by call: they hold until changed, and each open starts from
  // them before applying the options in its port name.
  bool SetOption(const char* key, const char* value);
  const LineOptions& options() const { return options_; }

  void SetTrace(ZarvoTraceHook hook, void* context) {
    trace_hook_ = hook;
    trace_context_ = context;
  }
  // Writes every frame to a capture file at `path` from now on, replacing
  // a capture running once the new file is created; nullptr stops. False
  // when the file cannot be created (a capture running goes on).
  bool Capture(const char* path);

  const ZarvoLineStats& stats() const { return stats_; }
  void ResetStats() { stats_ = {}; }

  // Sends `length` body bytes from `buffer` and collects the one reply; on
  // success the payload is in `buffer` (at most `capacity` bytes) and
  // `length` holds the payload length. `timeout_ms` is the silence limit
  // between reply bytes, 0 meaning 500 ms.
  int32_t Exchange(uint8_t* buffer, int32_t capacity, int32_t& length, uint32_t timeout_ms);

  // Duration in ms of the last exchange, up to its success or failure; 0
  // when no exchange could start.
  uint32_t LastExchangeTicks() const { return last_exchange_ticks_; }

  TableCache& WeekTableCache() { return week_table_cache_; }
  TableCache& HolidayCache() { return holiday_cache_; }
  zarvo::ChainCache& ChainCache() { return chain_cache_; }

 private:
  int32_t OpenAndConfigure(const char* port_name, int32_t baud);
  int32_t OpenByName(const char* name, int32_t baud);
  int32_t ReceiveReply(const uint8_t* request, size_t request_size, uint8_t* reply, size_t& count,
                       uint32_t silence_ms);
  int32_t MatchReply(const uint8_t* reply, int32_t length, uint8_t address, uint8_t command);
  int32_t RunExchange(uint8_t* buffer, int32_t capacity, int32_t& length, uint32_t timeout_ms);
  // Hands a frame to the trace hook and the capture, when there are any.
  void Trace(int32_t direction, const uint8_t* bytes, size_t count) {
    if ((trace_hook_ != nullptr || capture_ != nullptr) && count > 0) {
      TraceFrame(direction, bytes, count);
    }
  }
  void TraceFrame(int32_t direction, const uint8_t* bytes, size_t count);

  Mutex mutex_;
  std::unique_ptr<Transport> owned_transport_;
  std::unique_ptr<Clock> owned_clock_;
  LineTransports* transports_ = nullptr;
  Transport* transport_;
  Clock* clock_;
  uint32_t last_exchange_ticks_ = 0;
  TableCache week_table_cache_;
  TableCache holiday_cache_;
  zarvo::ChainCache chain_cache_;
  LineOptions base_options_;  // set by call
  LineOptions options_;       // in force: the base plus the port name's
  OpenFailure open_failure_;
  LastError last_error_;
  char name_[kMaxName] = {};
  ZarvoTraceHook trace_hook_ = nullptr;
  void* trace_context_ = nullptr;
  PcapWriter* capture_ = nullptr;
  ZarvoLineStats stats_{};
};

}  // namespace zarvo
