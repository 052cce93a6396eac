// Keeping a late reply to a request the line gave up on from passing for
// the reply to a later one. Only a later request whose reply could not be
// told from the late one waits; every other goes out at once, and a late
// reply arriving while it waits is dropped as it comes.
#include "codec/frame_codec.h"
#include "line/line.h"

namespace zarvo {

void Line::WaitOutLateReply(uint8_t address, uint8_t command) {
  if (!abandoned_.active() || !abandoned_.Pending(clock_->NowMs()) ||
      !abandoned_.SharesRepliesWith(address, command)) {
    return;
  }
  // Until the window has passed, at most one silence limit; what arrives
  // is dropped.
  uint8_t scratch[256];
  for (uint32_t now = clock_->NowMs(); abandoned_.Pending(now); now = clock_->NowMs()) {
    if (transport_->Read(scratch, sizeof scratch, abandoned_.until_ms() - now) < 0) {
      break;  // the exchange's own start finds the link gone
    }
  }
  abandoned_.Forget();
}

bool Line::IsLateReply(const uint8_t* frame, size_t count, const SentRequest& sent) {
  if (!abandoned_.active() || !abandoned_.Pending(clock_->NowMs())) return false;
  uint8_t from = 0;
  uint8_t command = 0;
  // Within the window, bytes that do not even begin a reply are the rest of
  // the late one, whose head was dropped with the stale input.
  if (!PeekReplyHeader(frame, count, from, command)) return true;
  const bool answers_sent = command == sent.command && (sent.address == 0 || from == sent.address);
  return !answers_sent && abandoned_.AnsweredBy(from, command);
}

}  // namespace zarvo
