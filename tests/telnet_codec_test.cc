// The Telnet side of rfc2217:// ports: data unescaped and commands stripped
// across reads, option requests answered, COM-port commands and their
// acknowledgements, and 0xFF doubled on the way out.
#include "transport/telnet_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace telnet;
constexpr uint8_t kEcho = 1, kNop = 241, kGoAhead = 249;

struct DecodeRow {
  const char* name;
  std::vector<Bytes> reads;  // what arrives, read by read
  Bytes data;                // the data bytes returned
  Bytes answers;             // what goes back to the server
};

TEST(TelnetCodecTest, DecodesAcrossReadsAndAnswersRequests) {
  const DecodeRow rows[] = {
      {"plain data", {{0x01, 0x02, 0xD2}}, {0x01, 0x02, 0xD2}, {}},
      {"doubled 0xFF", {{0x41, kIac, kIac, 0x42}}, {0x41, 0xFF, 0x42}, {}},
      {"doubled 0xFF split", {{0x41, kIac}, {kIac, 0x42}}, {0x41, 0xFF, 0x42}, {}},
      {"command split three ways",
       {{kIac}, {kWill}, {kSuppressGoAhead, 0x33}},
       {0x33},
       {kIac, kDo, kSuppressGoAhead}},
      {"subnegotiation split",
       {{0x10, kIac, kSb, kComPort, 107}, {0x00, kIac}, {kSe, 0x11}},
       {0x10, 0x11},
       {}},
      {"0xFF inside a subnegotiation",
       {{kIac, kSb, kComPort, 101, 0, 0, kIac, kIac, kIac, kSe, 0x20}},
       {0x20},
       {}},
      {"no-operation and go-ahead", {{0x01, kIac, kNop, 0x02, kIac, kGoAhead}}, {0x01, 0x02}, {}},
      {"only commands", {{kIac, kDo, kBinary}}, {}, {kIac, kWill, kBinary}},
      {"options refused",
       {{kIac, kDo, kEcho, kIac, kWill, kEcho, kIac, kWill, kComPort}},
       {},
       {kIac, kWont, kEcho, kIac, kDont, kEcho, kIac, kDont, kComPort}},
      {"requests answered once",
       {{kIac, kDo, kBinary, kIac, kDo, kBinary}},
       {},
       {kIac, kWill, kBinary}},
      {"refusal of an option that is off", {{kIac, kDont, kEcho, kIac, kWont, kEcho}}, {}, {}},
      {"switched off after agreeing",
       {{kIac, kWill, kBinary, kIac, kWont, kBinary}},
       {},
       {kIac, kDo, kBinary, kIac, kDont, kBinary}},
  };
  for (const DecodeRow& row : rows) {
    SCOPED_TRACE(row.name);
    TelnetCodec codec;
    Bytes data;
    for (Bytes read : row.reads) {
      const size_t count = codec.Decode(read.data(), read.size());
      data.insert(data.end(), read.begin(), read.begin() + static_cast<long>(count));
    }
    EXPECT_EQ(data, row.data);
    EXPECT_EQ(Bytes(codec.pending(), codec.pending() + codec.pending_size()), row.answers);
  }
}

TEST(TelnetCodecTest, ComPortAgreementRefusalAndAcknowledgements) {
  TelnetCodec codec;
  codec.OfferOption(kComPort);
  EXPECT_EQ(Bytes(codec.pending(), codec.pending() + codec.pending_size()),
            (Bytes{kIac, kWill, kComPort}));
  codec.ClearPending();

  Bytes agree = {kIac, kDo, kComPort};
  codec.Decode(agree.data(), agree.size());
  EXPECT_TRUE(codec.com_port_agreed());
  EXPECT_EQ(codec.pending_size(), 0u) << "an agreement to our own offer needs no answer";

  Bytes acks = {kIac, kSb,  kComPort, 101,      0x00, 0x00, 0x4B, 0x00, kIac,
                kSe,  kIac, kSb,      kComPort, 112,  0x01, kIac, kSe};
  codec.Decode(acks.data(), acks.size());
  EXPECT_TRUE(codec.acknowledged(kSetBaudRate));
  EXPECT_TRUE(codec.acknowledged(kPurgeData));
  EXPECT_FALSE(codec.acknowledged(kSetParity));
  EXPECT_EQ(codec.acknowledged_baud(), 19200u);

  TelnetCodec refused;
  refused.OfferOption(kComPort);
  Bytes refuse = {kIac, kDont, kComPort};
  refused.Decode(refuse.data(), refuse.size());
  EXPECT_TRUE(refused.com_port_refused());
  EXPECT_FALSE(refused.com_port_agreed());
}

TEST(TelnetCodecTest, EscapesTheIacByteOnTheWayOut) {
  TelnetCodec codec;
  const uint8_t speed[] = {0x00, 0x00, 0xFF, 0x00};
  codec.QueueComPortCommand(kSetBaudRate, speed, sizeof speed);
  EXPECT_EQ(Bytes(codec.pending(), codec.pending() + codec.pending_size()),
            (Bytes{kIac, kSb, kComPort, kSetBaudRate, 0, 0, kIac, kIac, 0, kIac, kSe}));

  const uint8_t data[] = {0x01, 0xFF, 0x02, 0xFF};
  uint8_t out[8];
  size_t consumed = 0;
  EXPECT_EQ(TelnetCodec::Escape(data, 4, out, sizeof out, consumed), 6u);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x01, 0xFF, 0xFF, 0x02, 0xFF, 0xFF}));
  EXPECT_EQ(consumed, 4u);
  // A doubled byte is never split across two writes.
  EXPECT_EQ(TelnetCodec::Escape(data, 4, out, 5, consumed), 4u);
  EXPECT_EQ(consumed, 3u);
}

}  // namespace
}  // namespace zarvo
