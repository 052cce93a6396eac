// The Telnet side of a device server connection: data bytes escaped and
// unescaped (0xFF doubled), commands and subnegotiations stripped from the
// input with a state that survives across reads, option negotiation
// answered, and the COM-port control commands and their acknowledgements.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

namespace telnet {
inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;

inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPort = 44;

// COM-port control commands; the server acknowledges each with code + 100.
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kPurgeData = 12;
inline constexpr uint8_t kServerReply = 100;
}  // namespace telnet

class TelnetCodec {
 public:
  // A new connection: every option off, nothing pending.
  void Reset();

  // Asks the server to let us use `option` (WILL) or to use it itself (DO).
  void OfferOption(uint8_t option);
  void RequestOption(uint8_t option);
  // Queues a COM-port control command with its value (up to 8 bytes),
  // escaped.
  void QueueComPortCommand(uint8_t code, const uint8_t* value, size_t size);

  // Strips commands from `count` bytes received and leaves the data bytes
  // at the start of `bytes`; returns their count. Answers to the server's
  // requests are queued.
  size_t Decode(uint8_t* bytes, size_t count);

  // Copies data bytes from `source` into `dest`, doubling 0xFF, as far as
  // both allow; returns the bytes written to `dest` and sets `consumed`.
  static size_t Escape(const uint8_t* source, size_t count, uint8_t* dest, size_t capacity,
                       size_t& consumed);

  // Bytes queued to send to the server (answers, offers, commands).
  const uint8_t* pending() const { return pending_; }
  size_t pending_size() const { return pending_size_; }
  void ClearPending() { pending_size_ = 0; }

  // Binary transmission both ways: without it each side keeps the network
  // virtual terminal's rule (a CR byte travels as CR NUL) and would alter
  // frames. Answered once the server has agreed or refused both requests.
  bool binary_answered() const {
    return local_[telnet::kBinary] != kAsked && remote_[telnet::kBinary] != kAsked;
  }
  bool binary_both_ways() const {
    return local_[telnet::kBinary] == kOn && remote_[telnet::kBinary] == kOn;
  }
  bool com_port_agreed() const { return local_[telnet::kComPort] == kOn; }
  bool com_port_refused() const { return com_port_refused_; }
  // Whether the server acknowledged COM-port command `code`.
  bool acknowledged(uint8_t code) const { return code < 32 && (acknowledged_ >> code & 1u) != 0; }
  // The speed the server acknowledged, 0 before it did.
  uint32_t acknowledged_baud() const { return acknowledged_baud_; }

 private:
  enum OptionState : uint8_t { kOff, kAsked, kOn };
  enum class State : uint8_t { kData, kIac, kVerb, kSbOption, kSb, kSbIac };

  void OnCommand(uint8_t byte);
  void OnNegotiation(uint8_t verb, uint8_t option);
  void OnSubnegotiationEnd();
  void Queue(uint8_t verb, uint8_t option);
  void QueueBytes(const uint8_t* bytes, size_t count);

  State state_ = State::kData;
  uint8_t verb_ = 0;
  uint8_t sb_option_ = 0;
  uint8_t sb_[16] = {};
  size_t sb_size_ = 0;
  OptionState local_[256] = {};   // options we use
  OptionState remote_[256] = {};  // options the server uses
  bool com_port_refused_ = false;
  uint32_t acknowledged_ = 0;
  uint32_t acknowledged_baud_ = 0;
  uint8_t pending_[512] = {};
  size_t pending_size_ = 0;
};

}  // namespace zarvo
