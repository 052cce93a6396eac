// The one request/response transaction every controller command is built on.
#include <cstring>

#include "result_codes.h"
#include "serial/frame_codec.h"
#include "session.h"

namespace zarvo {

int32_t Session::Exchange(uint8_t* buffer, int32_t capacity, int32_t& length,
                          uint32_t timeout_ms) {
  if (!port_->IsOpen()) {
    last_exchange_ticks_ = 0;
    return kNotOpen;
  }
  if (length < 1 || length > kMaxBody || capacity < length) {
    return kInvalidArgument;
  }
  const uint32_t start = clock_->NowMs();
  const uint8_t address = buffer[1];
  const uint8_t command = buffer[2];

  // One byte past the largest reply, for the end byte the decoder looks at.
  uint8_t work[kMaxReply + 1];
  const size_t frame = BuildRequestFrame(buffer, static_cast<size_t>(length), work);
  const size_t encoded = EncodeFrame(work, frame, work);

  // A late reply to an earlier request must not pass for this one's reply.
  port_->DiscardInput();
  if (port_->Write(work, encoded) <= 0) {
    last_exchange_ticks_ = clock_->NowMs() - start;
    return kNotOpen;
  }

  size_t count = 0;
  int32_t result =
      ReceiveReply(work, count, timeout_ms == 0 ? kDefaultSilenceMs : timeout_ms);
  if (result == kOk) {
    const int32_t decoded = DecodeFrame(work, count, work);
    result = MatchReply(work, decoded, address, command);
    if (result == kOk) {
      const int32_t payload =
          decoded < static_cast<int32_t>(kReplyOverhead)
              ? 0
              : decoded - static_cast<int32_t>(kReplyOverhead);
      length = payload;
      if (payload > 0) {
        std::memset(buffer, 0, static_cast<size_t>(capacity));
        std::memcpy(buffer, work + kReplyPayloadAt,
                    static_cast<size_t>(payload < capacity ? payload : capacity));
      }
    } else {
      length = decoded;
    }
  }
  last_exchange_ticks_ = clock_->NowMs() - start;
  return result;
}

// Collects reply bytes into `work` until the end byte arrives or the line has
// been silent for `silence_ms`; the limit applies between bytes, so a reply
// that keeps trickling is taken in full. On success work[count] holds the end
// byte, or 0 when the reply stopped without one.
int32_t Session::ReceiveReply(uint8_t* work, size_t& count, uint32_t silence_ms) {
  uint32_t last_activity = clock_->NowMs();
  bool ended = false;
  while (!ended) {
    const uint32_t silent = clock_->NowMs() - last_activity;
    if (silent >= silence_ms) break;
    const int32_t got =
        port_->Read(work + count, kMaxReply + 1 - count, silence_ms - silent);
    if (got == SerialPort::kDeviceGone) return kNoReply;
    if (got <= 0) continue;
    const size_t fresh = static_cast<size_t>(got);
    const void* end = std::memchr(work + count, kReplyEnd, fresh);
    const size_t stored =
        end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - (work + count))
            : fresh;
    count += stored;
    ended = end != nullptr;
    if (count > kMaxReply) return kTooLong;
    if (stored > 0) last_activity = clock_->NowMs();
  }
  if (count == 0) return kNoReply;
  work[count] = ended ? kReplyEnd : 0;
  return kOk;
}

int32_t Session::MatchReply(const uint8_t* reply, int32_t length, uint8_t address,
                            uint8_t command) const {
  if (length < 0 || reply[0] != kReplyStart) return kNoStartByte;
  // Short replies are compared against the zero bytes behind them, as the
  // work buffer would hold them.
  auto at = [&](size_t i) -> uint8_t {
    return static_cast<int32_t>(i) < length ? reply[i] : 0;
  };
  if (address != 0 && at(kReplyAddressAt) != address) return kMismatch;
  if (at(kReplyCommandAt) != command) return kMismatch;
  if (at(kReplyStatusAt) != 0) return kRefused;
  return kOk;
}

}  // namespace zarvo
