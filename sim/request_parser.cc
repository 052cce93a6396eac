#include "request_parser.h"

#include "codec/frame_codec.h"

namespace zarvo::sim {

bool DecodeRequestFrame(const uint8_t* wire, size_t count, std::vector<uint8_t>& body) {
  // E1, an even number of nibbles (body and two CRC bytes), 1E.
  if (count < 2 || wire[0] != kRequestStart || wire[count - 1] != kRequestEnd) return false;
  const size_t nibbles = count - 2;
  if (nibbles % 2 != 0 || nibbles < 2 * 4) return false;
  std::vector<uint8_t> inner;
  inner.reserve(nibbles / 2);
  for (size_t i = 1; i + 1 < count - 1; i += 2) {
    if (wire[i] > 0x0F || wire[i + 1] > 0x0F) return false;
    inner.push_back(static_cast<uint8_t>(wire[i] << 4 | wire[i + 1]));
  }
  const size_t body_length = inner.size() - 2;
  const uint16_t crc = static_cast<uint16_t>(inner[body_length] << 8 | inner[body_length + 1]);
  if (Crc16(inner.data(), body_length) != crc) return false;
  inner.resize(body_length);
  body = std::move(inner);
  return true;
}

void RequestParser::Feed(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    if (b == kRequestStart) {
      if (in_frame_) ++bad_frames_;  // a new start cuts the old frame off
      in_frame_ = true;
      encoded_.assign(1, b);
      continue;
    }
    if (!in_frame_) continue;
    encoded_.push_back(b);
    if (b == kRequestEnd) FinishFrame();
  }
}

void RequestParser::FinishFrame() {
  in_frame_ = false;
  Request request;
  if (!DecodeRequestFrame(encoded_.data(), encoded_.size(), request.body) ||
      request.body.size() < 3) {
    ++bad_frames_;
    return;
  }
  request.address = request.body[1];
  request.command = request.body[2];
  sink_(request);
}

}  // namespace zarvo::sim
