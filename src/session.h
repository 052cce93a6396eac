// The library's process-wide state: the one serial port, the duration of the
// last exchange and the table caches, behind one lock. The exported functions
// work on Session::Default(); tests build sessions of their own around a
// scripted line and a fake clock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "mutex.h"
#include "serial/clock.h"
#include "serial/serial_port.h"

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

class Session {
 public:
  // The encoded reply may be at most this long.
  static constexpr size_t kMaxReply = 8192;
  // Longest request body that still encodes into the work buffer.
  static constexpr int32_t kMaxBody = 4093;
  static constexpr uint32_t kDefaultSilenceMs = 500;

  // A session over a port and a clock that outlive it.
  Session(SerialPort& port, Clock& clock) : port_(&port), clock_(&clock) {}
  // A session that owns its port and clock.
  Session(std::unique_ptr<SerialPort> port, std::unique_ptr<Clock> clock);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The session the exported functions use: the platform's serial port and
  // the monotonic clock, all in static storage (nothing is allocated).
  static Session& Default();

  // Every exported call holds this lock for its whole duration.
  MutexLock Lock() { return MutexLock(mutex_); }

  int32_t OpenPort(const char* name, int32_t baud);
  void ClosePort();
  bool IsOpen() const { return port_->IsOpen(); }

  // Sends `length` body bytes from `buffer` and collects the one reply; on
  // success the payload is in `buffer` (at most `capacity` bytes) and
  // `length` holds the payload length. `timeout_ms` is the silence limit
  // between reply bytes, 0 meaning 500 ms.
  int32_t Exchange(uint8_t* buffer, int32_t capacity, int32_t& length,
                   uint32_t timeout_ms);

  // Duration in ms of the last exchange, up to its success or failure; 0
  // when no exchange could start.
  uint32_t LastExchangeTicks() const { return last_exchange_ticks_; }

  TableCache& WeekTableCache() { return week_table_cache_; }
  TableCache& HolidayCache() { return holiday_cache_; }
  zarvo::ChainCache& ChainCache() { return chain_cache_; }

  // Puts `port` in place of the current one (closing nothing) and returns
  // the previous one; used to put a decorator such as a frame tracer around
  // the platform port. The caller keeps both alive while they are in use.
  SerialPort& ReplacePort(SerialPort& port);
  SerialPort& Port() { return *port_; }

 private:
  int32_t ReceiveReply(uint8_t* work, size_t& count, uint32_t silence_ms);
  int32_t MatchReply(const uint8_t* reply, int32_t length, uint8_t address,
                     uint8_t command) const;

  Mutex mutex_;
  std::unique_ptr<SerialPort> owned_port_;
  std::unique_ptr<Clock> owned_clock_;
  SerialPort* port_;
  Clock* clock_;
  uint32_t last_exchange_ticks_ = 0;
  TableCache week_table_cache_;
  TableCache holiday_cache_;
  zarvo::ChainCache chain_cache_;
};

}  // namespace zarvo
