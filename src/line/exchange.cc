// The one request/response transaction every controller command is built on.
#include <algorithm>
#include <cstring>

#include "codec/frame_codec.h"
#include "line/line.h"
#include "result_codes.h"

namespace zarvo {

int32_t Line::Exchange(uint8_t* buffer, int32_t capacity, int32_t& length, uint32_t timeout_ms) {
  const int32_t result = RunExchange(buffer, capacity, length, timeout_ms);
  if (result != kInvalidArgument) CountResult(stats_, result);
  return result;
}

int32_t Line::RunExchange(uint8_t* buffer, int32_t capacity, int32_t& length, uint32_t timeout_ms) {
  if (!transport_->IsOpen()) {
    last_exchange_ticks_ = 0;
    last_error_.Set("no port open");
    return kNotOpen;
  }
  if (length < 1 || length > kMaxBody || capacity < length) {
    return kInvalidArgument;
  }
  const uint32_t start = clock_->NowMs();
  const uint8_t address = buffer[1];
  const uint8_t command = buffer[2];

  // The request stays intact while the reply comes in, so an adapter's echo
  // of it can be recognised.
  uint8_t request[kMaxRequestWire];
  const size_t frame = BuildRequestFrame(buffer, static_cast<size_t>(length), request);
  const size_t encoded = EncodeFrame(request, frame, request);

  // A late reply to an earlier request must not pass for this one's reply;
  // a network link lost since the last call is connected again here.
  const uint32_t reconnects = transport_->Reconnects();
  const int32_t started = transport_->StartExchange();
  Bump(stats_.reconnects, transport_->Reconnects() - reconnects);
  if (started != 0) {
    Bump(stats_.linksLost);
    last_exchange_ticks_ = clock_->NowMs() - start;
    last_error_.Set("%s", transport_->failure());
    return kNoReply;
  }
  Trace(ZARVO_TRACE_REQUEST, request, encoded);
  const uint32_t silence_ms = timeout_ms == 0 ? kDefaultSilenceMs : timeout_ms;
  const int32_t written = transport_->Write(request, encoded, silence_ms);
  if (written <= 0) {
    last_exchange_ticks_ = clock_->NowMs() - start;
    last_error_.Set("%s", transport_->failure());
    if (written != Transport::kDeviceGone) return kNotOpen;
    Bump(stats_.linksLost);
    return kNoReply;
  }

  // One byte past the largest reply, for the end byte the decoder looks at.
  uint8_t reply[kMaxReply + 1];
  size_t count = 0;
  int32_t result = ReceiveReply(request, encoded, reply, count, silence_ms);
  if (result == kOk) {
    const bool ended = reply[count] == kReplyEnd;
    const int32_t decoded = DecodeFrame(reply, count, reply);
    result = MatchReply(reply, decoded, address, command);
    if (result != kOk && !ended) last_error_.Set("the reply stopped without its end mark");
    if (result == kOk) {
      const int32_t payload = decoded < static_cast<int32_t>(kReplyOverhead)
                                  ? 0
                                  : decoded - static_cast<int32_t>(kReplyOverhead);
      length = payload;
      if (payload > 0) {
        std::memset(buffer, 0, static_cast<size_t>(capacity));
        std::memcpy(buffer, reply + kReplyPayloadAt,
                    static_cast<size_t>(payload < capacity ? payload : capacity));
      }
    } else {
      length = decoded;
    }
  }
  last_exchange_ticks_ = clock_->NowMs() - start;
  return result;
}

// Collects reply bytes into `reply` until the end byte arrives or the line
// has been silent for `silence_ms` (plus the line's first-byte allowance
// before the first byte); the limit applies between bytes, so a reply that
// keeps trickling is taken in full. An adapter's echo of the request is
// dropped as it arrives, as the line's echo option says. On success
// reply[count] holds the end byte, or 0 when the reply stopped without one.
int32_t Line::ReceiveReply(const uint8_t* request, size_t request_size, uint8_t* reply,
                           size_t& count, uint32_t silence_ms) {
  const EchoMode echo = options_.echo;
  bool in_echo = echo != EchoMode::kOff;  // the bytes so far may be the echo
  size_t echoed = 0;
  uint32_t last_activity = clock_->NowMs();
  bool ended = false;
  while (!ended) {
    const uint32_t limit = silence_ms + (count == 0 || in_echo ? options_.first_byte_wait_ms : 0);
    const uint32_t silent = clock_->NowMs() - last_activity;
    if (silent >= limit) break;
    size_t room = kMaxReply + 1 - count;
    // While the echo may still be coming, read no further than its end, so
    // its bytes and the reply's never share a read.
    if (in_echo) room = std::min(room, request_size - echoed);
    const int32_t got = transport_->Read(reply + count, room, limit - silent);
    if (got == Transport::kDeviceGone) {
      Bump(stats_.linksLost);
      last_error_.Set("%s", transport_->failure());
      Trace(ZARVO_TRACE_REPLY, reply, count);
      return kNoReply;
    }
    if (got <= 0) continue;
    const size_t fresh = static_cast<size_t>(got);
    if (in_echo) {
      if (std::memcmp(reply + count, request + echoed, fresh) == 0) {
        echoed += fresh;
        count += fresh;
        last_activity = clock_->NowMs();
        if (echoed == request_size) {
          count = 0;  // the whole echo: drop it, the reply follows
          in_echo = false;
          Bump(stats_.echoesStripped);
        }
        continue;
      }
      if (echo == EchoMode::kOn) {
        // What came back is not what was sent: another station talked at
        // the same time.
        last_error_.Set("the echo differs from the request: another station talked");
        Trace(ZARVO_TRACE_REPLY, reply, count + fresh);
        return kMismatch;
      }
      in_echo = false;  // not an echo: every byte so far is reply
    }
    const void* end = std::memchr(reply + count, kReplyEnd, fresh);
    const size_t stored =
        end ? static_cast<size_t>(static_cast<const uint8_t*>(end) - (reply + count)) : fresh;
    count += stored;
    ended = end != nullptr;
    if (count > kMaxReply) {
      last_error_.Set("more than %u reply bytes without an end mark", static_cast<unsigned>(kMaxReply));
      Trace(ZARVO_TRACE_REPLY, reply, kMaxReply);
      return kTooLong;
    }
    if (stored > 0) last_activity = clock_->NowMs();
  }
  if (in_echo && echo == EchoMode::kOn && echoed > 0) {
    last_error_.Set("the echo stopped short of the request");
    Trace(ZARVO_TRACE_REPLY, reply, count);
    return kMismatch;
  }
  if (count == 0) {
    Bump(stats_.silences);
    last_error_.Set("no byte within %u ms", silence_ms + options_.first_byte_wait_ms);
    return kNoReply;
  }
  CountReplyBytes(stats_, reply, count);
  reply[count] = ended ? kReplyEnd : 0;
  Trace(ZARVO_TRACE_REPLY, reply, count + (ended ? 1 : 0));
  return kOk;
}

int32_t Line::MatchReply(const uint8_t* reply, int32_t length, uint8_t address, uint8_t command) {
  if (length < 0 || reply[0] != kReplyStart) {
    last_error_.Set("the reply has no start mark");
    return kNoStartByte;
  }
  // Short replies are compared against the zero bytes behind them, as the
  // work buffer would hold them.
  auto at = [&](size_t i) -> uint8_t { return static_cast<int32_t>(i) < length ? reply[i] : 0; };
  if (address != 0 && at(kReplyAddressAt) != address) {
    last_error_.Set("reply from address %u, not %u", at(kReplyAddressAt), address);
    return kMismatch;
  }
  if (at(kReplyCommandAt) != command) {
    last_error_.Set("reply to command 0x%02X, not 0x%02X", at(kReplyCommandAt), command);
    return kMismatch;
  }
  if (at(kReplyStatusAt) != 0) {
    last_error_.Set("the controller refused the command (status %u)", at(kReplyStatusAt));
    return kRefused;
  }
  return kOk;
}

}  // namespace zarvo
