// The one request/response transaction every controller command is built on.
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

  WaitOutLateReply(address, command);
  // Input still waiting is dropped (it answers nothing sent from now on);
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

  const SentRequest sent{request, encoded, address, command, silence_ms};
  // One byte past the largest reply, for the end byte the decoder looks at.
  uint8_t reply[kMaxReply + 1];
  size_t count = 0;
  bool ended = false;
  int32_t result = ReceiveReply(sent, reply, count, ended);
  if (result == kOk) {
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
  // The reply to a request answered by another frame may still come.
  if (result == kMismatch) {
    abandoned_.Remember(address, command, clock_->NowMs(),
                        sent.silence_ms + options_.first_byte_wait_ms);
  }
  last_exchange_ticks_ = clock_->NowMs() - start;
  return result;
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
