#include "tracing_port.h"

#include <string>

#include "commands/command_codes.h"
#include "request_parser.h"
#include "serial/frame_codec.h"
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
    text += ": " + Hex(work.data() + zarvo::kReplyPayloadAt, shown) + (shown < payload ? " ..." : "");
  }
  return text;
}

int32_t TracingPort::Open(const char* name, int32_t baud) {
  const int32_t result = inner_->Open(name, baud);
  std::fprintf(out_, "-- open %s at %d bit/s: %s\n", name, baud, ResultText(result).c_str());
  return result;
}

void TracingPort::Close() {
  if (inner_->IsOpen()) std::fprintf(out_, "-- close\n");
  inner_->Close();
}

int32_t TracingPort::Write(const uint8_t* bytes, size_t count) {
  FlushReceived("(no end byte)");
  std::fprintf(out_, ">> %s\n   %s\n", Hex(bytes, count).c_str(),
               DescribeRequest(bytes, count).c_str());
  return inner_->Write(bytes, count);
}

int32_t TracingPort::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  const int32_t got = inner_->Read(dest, capacity, wait_ms);
  if (got == kDeviceGone) std::fprintf(out_, "-- device gone\n");
  for (int32_t i = 0; i < got; ++i) {
    received_.push_back(dest[i]);
    if (dest[i] == zarvo::kReplyEnd) FlushReceived("");
  }
  return got;
}

void TracingPort::DiscardInput() {
  FlushReceived("(discarded)");
  inner_->DiscardInput();
}

void TracingPort::FlushReceived(const char* note) {
  if (received_.empty()) return;
  std::fprintf(out_, "<< %s %s\n   %s\n", Hex(received_.data(), received_.size()).c_str(), note,
               DescribeReply(received_.data(), received_.size()).c_str());
  received_.clear();
}

}  // namespace zarvoctl
