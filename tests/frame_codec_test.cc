#include "codec/frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes EncodeRequest(const Bytes& body) {
  std::vector<uint8_t> work(2 * body.size() + 6);
  const size_t frame = BuildRequestFrame(body.data(), body.size(), work.data());
  work.resize(EncodeFrame(work.data(), frame, work.data()));
  return work;
}

// Decodes `wire` as the exchange would: the byte after the received ones is
// the end byte when one arrived (not counted), else 0.
Bytes Decode(Bytes wire, int32_t* length_out = nullptr) {
  size_t count = wire.size();
  if (!wire.empty() && wire.back() == kReplyEnd) {
    --count;
  } else {
    wire.push_back(0);
  }
  Bytes out(wire.size());
  const int32_t length = DecodeFrame(wire.data(), count, out.data());
  if (length_out) *length_out = length;
  if (length < 0) return {};
  out.resize(static_cast<size_t>(length));
  return out;
}

TEST(Crc16, MatchesTheXmodemCheckValue) {
  const char* text = "123456789";
  EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(text), 9), 0x31C3);
}

TEST(RequestEncoding, ProbeOfAddressOneMatchesTheWire) {
  EXPECT_EQ(EncodeRequest({0x80, 0x01, 0x01}),
            (Bytes{0xE1, 0x08, 0x00, 0x00, 0x01, 0x00, 0x01, 0x01, 0x08, 0x04, 0x0A, 0x1E}));
}

TEST(RequestEncoding, FrameMarksInsideTheBodyTravelAsNibblePairs) {
  const Bytes wire = EncodeRequest({0x80, 0x01, 0xE1, 0x1E, 0xD2, 0x2D});
  ASSERT_EQ(wire.size(), 2 * 6 + 6u);
  EXPECT_EQ(wire.front(), 0xE1);
  EXPECT_EQ(wire.back(), 0x1E);
  for (size_t i = 1; i + 1 < wire.size(); ++i) EXPECT_LE(wire[i], 0x0F) << "at " << i;
  EXPECT_EQ(wire[7], 0x01);  // 0x1E becomes 01 0E
  EXPECT_EQ(wire[8], 0x0E);
}

TEST(RequestEncoding, EncodesInPlaceAndIntoASeparateBufferAlike) {
  const Bytes frame = {0xE1, 0x80, 0x05, 0x9C, 0x3F, 0x1E};
  Bytes separate(10), in_place(frame);
  in_place.resize(10);
  EncodeFrame(frame.data(), frame.size(), separate.data());
  EncodeFrame(in_place.data(), frame.size(), in_place.data());
  EXPECT_EQ(separate, in_place);
  EXPECT_EQ(separate, (Bytes{0xE1, 0x08, 0x00, 0x00, 0x05, 0x09, 0x0C, 0x03, 0x0F, 0x1E}));
}

TEST(ReplyDecoding, CompleteReplyWithThreeBytePayloadDecodesToElevenBytes) {
  // D2 type addr cmd status p0 p1 p2 crc crc 2D
  const Bytes wire = {0xD2, 0x0, 0x1, 0x0, 0x5, 0x0, 0x3, 0x0, 0x0, 0x0,
                      0xA,  0x0, 0xB, 0x0, 0xC, 0x1, 0x2, 0x3, 0x4, 0x2D};
  const Bytes decoded = Decode(wire);
  EXPECT_EQ(decoded, (Bytes{0xD2, 0x01, 0x05, 0x03, 0x00, 0x0A, 0x0B, 0x0C, 0x12, 0x34, 0x2D}));
}

TEST(ReplyDecoding, SkipsNoiseBeforeTheStartByte) {
  const Bytes decoded = Decode({0x55, 0x0A, 0xFF, 0xD2, 0x0, 0x1, 0x2D});
  EXPECT_EQ(decoded, (Bytes{0xD2, 0x01, 0x2D}));
}

TEST(ReplyDecoding, ZeroByteBeforeTheStartByteMeansNoReply) {
  int32_t length = 0;
  Decode({0x00, 0xD2, 0x0, 0x1, 0x2D}, &length);
  EXPECT_EQ(length, -1);
  Decode({0x55, 0x0A, 0x3C}, &length);
  EXPECT_EQ(length, -1);
}

TEST(ReplyDecoding, TruncatedReplyDecodesOnlyTheWholePairs) {
  // Cut after an odd number of nibbles: the last lone nibble is the final byte.
  const Bytes decoded = Decode({0xD2, 0x0, 0x1, 0x0, 0x5, 0x0});
  EXPECT_EQ(decoded, (Bytes{0xD2, 0x01, 0x05, 0x00}));
}

TEST(ReplyDecoding, DecodesInPlace) {
  Bytes wire = {0x07, 0xD2, 0x0, 0x1, 0x0, 0x5, 0x0, 0x3, 0x2D};
  const int32_t length = DecodeFrame(wire.data(), wire.size() - 1, wire.data());
  ASSERT_EQ(length, 5);
  EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 5), (Bytes{0xD2, 0x01, 0x05, 0x03, 0x2D}));
}

}  // namespace
}  // namespace zarvo
