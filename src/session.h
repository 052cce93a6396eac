// The library's process-wide state: the one serial port, the duration of the
// last exchange and the table caches, behind one lock. The exported functions
// work on Session::Default(); tests build sessions of their own around a
// scripted line and a fake clock.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

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

  Session(std::unique_ptr<SerialPort> port, std::unique_ptr<Clock> clock);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The session the exported functions use; created with the platform's
  // serial port and the monotonic clock.
  static Session& Default();

  // Every exported call holds this lock for its whole duration.
  std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

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

  // Replaces the port (closing nothing) and returns the previous one; used
  // to put a decorator such as a frame tracer around the platform port.
  std::unique_ptr<SerialPort> SwapPort(std::unique_ptr<SerialPort> port);
  SerialPort& Port() { return *port_; }

 private:
  int32_t ReceiveReply(uint8_t* work, size_t& count, uint32_t silence_ms);
  int32_t MatchReply(const uint8_t* reply, int32_t length, uint8_t address,
                     uint8_t command) const;

  std::mutex mutex_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<Clock> clock_;
  uint32_t last_exchange_ticks_ = 0;
  TableCache week_table_cache_;
  TableCache holiday_cache_;
  zarvo::ChainCache chain_cache_;
};

std::unique_ptr<SerialPort> MakePlatformSerialPort();

}  // namespace zarvo
