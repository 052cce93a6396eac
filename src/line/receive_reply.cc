// Collecting one reply from the line: the adapter's echo of the request is
// dropped, so is a late reply to a request given up on, and the silence
// limit ends the wait.
#include <algorithm>
#include <cstring>

#include "codec/frame_codec.h"
#include "line/line.h"
#include "result_codes.h"

namespace zarvo {

// Collects reply bytes into `reply` until the end byte arrives or the line
// has been silent for the silence limit (plus the line's first-byte
// allowance before the first byte); the limit applies between bytes, so a
// reply that keeps trickling is taken in full. Each read takes whatever has
// come: the echo starts with the request's start mark and a reply with its
// own, so one read may hold the echo's tail and the reply's head, or a late
// reply and the reply awaited, and every byte is looked at in turn. On
// success reply[count] holds the end byte, or 0 when the reply stopped
// without one (`ended` false).
int32_t Line::ReceiveReply(const SentRequest& sent, uint8_t* reply, size_t& count, bool& ended) {
  EchoProgress echo{options_.echo != EchoMode::kOff, false, 0};
  count = 0;
  ended = false;
  uint32_t last_activity = clock_->NowMs();
  while (!ended) {
    const uint32_t limit =
        sent.silence_ms + (count == 0 || echo.expected ? options_.first_byte_wait_ms : 0);
    const uint32_t silent = clock_->NowMs() - last_activity;
    if (silent >= limit) break;
    const int32_t got = transport_->Read(reply + count, kMaxReply + 1 - count, limit - silent);
    if (got == Transport::kDeviceGone) {
      Bump(stats_.linksLost);
      last_error_.Set("%s", transport_->failure());
      Trace(ZARVO_TRACE_REPLY, reply, count);
      return kNoReply;
    }
    if (got <= 0) continue;
    last_activity = clock_->NowMs();
    // reply[count, count + fresh) is new.
    size_t fresh = static_cast<size_t>(got);
    while (fresh > 0 && !ended) {
      if (echo.expected) {
        const EchoStep step = TakeEcho(sent, echo, reply, count, fresh);
        if (step == EchoStep::kNeedMore) break;
        if (step == EchoStep::kCollision) return kMismatch;
      }
      const void* end = std::memchr(reply + count, kReplyEnd, fresh);
      if (end == nullptr) {
        count += fresh;
        break;
      }
      const size_t stored = static_cast<size_t>(static_cast<const uint8_t*>(end) - (reply + count));
      count += stored;
      fresh -= stored + 1;
      if (!IsLateReply(reply, count, sent)) {
        ended = true;  // what follows the end byte answers nothing
        break;
      }
      // The late reply to the request given up on: dropped, and the wait
      // goes on; the bytes after it are read afresh (an echo among them).
      Trace(ZARVO_TRACE_REPLY, reply, count + 1);
      std::memmove(reply, reply + count + 1, fresh);
      count = 0;
      echo = {options_.echo != EchoMode::kOff && !echo.seen, echo.seen, 0};
    }
    if (count > kMaxReply) {
      last_error_.Set("more than %u reply bytes without an end mark",
                      static_cast<unsigned>(kMaxReply));
      Trace(ZARVO_TRACE_REPLY, reply, kMaxReply);
      return kTooLong;
    }
  }
  if (echo.expected && options_.echo == EchoMode::kOn && echo.matched > 0) {
    last_error_.Set("the echo stopped short of the request");
    Trace(ZARVO_TRACE_REPLY, reply, count);
    return kMismatch;
  }
  if (count == 0) return GiveUpWaiting(sent, echo.seen);
  CountReplyBytes(stats_, reply, count);
  reply[count] = ended ? kReplyEnd : 0;
  Trace(ZARVO_TRACE_REPLY, reply, count + (ended ? 1 : 0));
  return kOk;
}

// While the echo may be coming, the bytes so far (reply[0, count)) are the
// start of it.
Line::EchoStep Line::TakeEcho(const SentRequest& sent, EchoProgress& echo, uint8_t* reply,
                              size_t& count, size_t& fresh) {
  const size_t part = std::min(fresh, sent.wire_size - echo.matched);
  if (std::memcmp(reply + count, sent.wire + echo.matched, part) == 0) {
    echo.matched += part;
    count += part;
    fresh -= part;
    if (echo.matched < sent.wire_size) return EchoStep::kNeedMore;
    // The whole echo: drop it; what came with it starts the reply.
    std::memmove(reply, reply + count, fresh);
    count = 0;
    echo.expected = false;
    echo.seen = true;
    Bump(stats_.echoesStripped);
    return EchoStep::kDropped;
  }
  if (options_.echo == EchoMode::kOn) {
    // What came back is not what was sent: another station talked at the
    // same time.
    last_error_.Set("the echo differs from the request: another station talked");
    Trace(ZARVO_TRACE_REPLY, reply, count + fresh);
    return EchoStep::kCollision;
  }
  echo.expected = false;  // not an echo: every byte so far is reply
  fresh += count;
  count = 0;
  return EchoStep::kNotEcho;
}

// Silence: the controller may still answer, late, so the request is
// remembered for one more silence limit.
int32_t Line::GiveUpWaiting(const SentRequest& sent, bool echo_seen) {
  const uint32_t limit = sent.silence_ms + options_.first_byte_wait_ms;
  Bump(stats_.silences);
  if (echo_seen) {
    last_error_.Set("the request's echo came back, but no reply within %u ms", limit);
  } else {
    last_error_.Set("no byte within %u ms", limit);
  }
  abandoned_.Remember(sent.address, sent.command, clock_->NowMs(), limit);
  return kNoReply;
}

}  // namespace zarvo
