// Takes request frames off the byte stream a host writes: finds E1 ... 1E,
// undoes the nibble encoding and checks the CRC. Frames with a bad CRC or a
// broken encoding are dropped, as a controller would drop line noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zarvo::sim {

struct Request {
  uint8_t address = 0;
  uint8_t command = 0;
  std::vector<uint8_t> body;  // the whole command body: 80, address, code, ...

  // Parameter byte i (body byte 3 + i), 0 when the body is shorter.
  uint8_t param(size_t i) const { return 3 + i < body.size() ? body[3 + i] : 0; }
  size_t param_count() const { return body.size() > 3 ? body.size() - 3 : 0; }
};

class RequestParser {
 public:
  using Sink = std::function<void(const Request&)>;

  explicit RequestParser(Sink sink) : sink_(std::move(sink)) {}

  void Feed(const uint8_t* bytes, size_t count);

  uint64_t bad_frames() const { return bad_frames_; }

 private:
  void FinishFrame();

  Sink sink_;
  bool in_frame_ = false;
  std::vector<uint8_t> encoded_;
  uint64_t bad_frames_ = 0;
};

// Decodes one request frame as it appears on the wire (E1, nibble pairs,
// 1E) into its body; false when the encoding or the CRC is wrong.
bool DecodeRequestFrame(const uint8_t* wire, size_t count, std::vector<uint8_t>& body);

}  // namespace zarvo::sim
