#include "frame_trace.h"

#include <string>
#include <vector>

#include "codec/frame_codec.h"
#include "commands/command_codes.h"
#include "console.h"
#include "request_parser.h"
#include "tool.h"

namespace zarvoctl {
namespace {

std::string CommandLabel(uint8_t code) {
  const char* name = zarvo::CommandName(code);
  return std::to_string(code) + (name ? std::string(" (") + name + ")" : "");
}

}  // namespace

std::string DescribeRequest(const uint8_t* wire, size_t count) {
  std::vector<uint8_t> body;
  if (!zarvo::sim::DecodeRequestFrame(wire, count, body) || body.size() < 3) {
    return "malformed request";
  }
  std::string text = "address=" + std::to_string(body[1]) + " command=" + CommandLabel(body[2]);
  if (body.size() > 3) text += " params=" + Hex(body.data() + 3, body.size() - 3);
  return text;
}

std::string DescribeReply(const uint8_t* wire, size_t count) {
  std::vector<uint8_t> work(wire, wire + count);
  work.push_back(0);  // the decoder may look one byte past the input
  const int32_t length = zarvo::DecodeFrame(work.data(), count, work.data());
  if (length < 0) return "no start byte";
  if (length < static_cast<int32_t>(zarvo::kReplyOverhead)) {
    return "short reply of " + std::to_string(length) + " bytes";
  }
  std::string text = "address=" + std::to_string(work[zarvo::kReplyAddressAt]) +
                     " command=" + CommandLabel(work[zarvo::kReplyCommandAt]) +
                     " status=" + std::to_string(work[zarvo::kReplyStatusAt]);
  const size_t payload = static_cast<size_t>(length) - zarvo::kReplyOverhead;
  text += " payload=" + std::to_string(payload) + " bytes";
  if (payload > 0) {
    const size_t shown = payload < 48 ? payload : 48;
    text +=
        ": " + Hex(work.data() + zarvo::kReplyPayloadAt, shown) + (shown < payload ? " ..." : "");
  }
  return text;
}

namespace {

void ZARVO_CALL PrintFrame(void* context, int32_t direction, uint64_t /*timestamp_us*/,
                           const uint8_t* bytes, int32_t count) {
  auto* out = static_cast<std::FILE*>(context);
  if (out == stderr) HideProgress();
  const size_t size = static_cast<size_t>(count);
  if (direction == ZARVO_TRACE_REQUEST) {
    std::fprintf(out, ">> %s\n   %s\n", Hex(bytes, size).c_str(),
                 DescribeRequest(bytes, size).c_str());
  } else {
    const bool ended = bytes[size - 1] == zarvo::kReplyEnd;
    std::fprintf(out, "<< %s%s\n   %s\n", Hex(bytes, size).c_str(), ended ? "" : " (no end byte)",
                 DescribeReply(bytes, ended ? size - 1 : size).c_str());
  }
}

}  // namespace

void TraceFrames(ZarvoLine* line, std::FILE* out) { Zarvo_LineSetTrace(line, PrintFrame, out); }

}  // namespace zarvoctl
