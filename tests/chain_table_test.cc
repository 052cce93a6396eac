// The chain table against a scripted line: a read on every call, the write
// of one group with its entries masked, and the byte order of the value.
#include "commands/chain_table.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "commands/command_codes.h"
#include "result_codes.h"
#include "scripted_line.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using Group = std::array<int32_t, 5>;
using testing::ScriptedLine;

constexpr uint8_t kRead = kCmdReadChain;
constexpr uint8_t kWrite = kCmdWriteChain;
const Bytes kReadBody = {0x80, 0x01, kRead, 0, 0, 0, 0, 0, 0};
const Bytes kTable = {0x01, 0x02, 0x03, 0x04, 0x00, 0x05, 0x1F, 0x20, 0xFF, 0x00, 0x01, 0x2C};

class ChainTableTest : public ::testing::Test {
 protected:
  int32_t Call(int32_t group, int32_t mode) {
    return ChianTable(t_.line(), 1, group_.data(), group, mode);
  }
  size_t Sent() { return t_.transport().writes().size(); }

  ScriptedLine t_;
  Group group_{};
};

TEST_F(ChainTableTest, EveryReadGoesToTheController) {
  t_.Reply(1, kRead, kTable);
  ASSERT_EQ(Call(1, 0), kOk);
  EXPECT_EQ(group_, (Group{31, 32, 255, 0, 300}));
  EXPECT_EQ(t_.transport().LastBody(), kReadBody);

  Bytes changed = kTable;
  changed[5] = 0x06;
  t_.Reply(1, kRead, changed);
  ASSERT_EQ(Call(0, 0), kOk);
  EXPECT_EQ(group_, (Group{1, 2, 3, 4, 6}));
  EXPECT_EQ(Sent(), 2u);
  EXPECT_EQ(t_.transport().LastBody(), kReadBody);
}

TEST_F(ChainTableTest, WriteSendsTheCallersGroupAloneWithEntriesMasked) {
  struct Case {
    int32_t group;
    Group in;
    Group written_back;
    Bytes params;
  };
  const Case cases[] = {
      {0,
       {33, 7, 40, 1, 0x1234},
       {1, 7, 8, 1, 0x1234},
       {0x01, 0x07, 0x08, 0x01, 0x12, 0x34, 0, 0, 0, 0, 0, 0}},
      {1,
       {3, 4, 5, 6, 300},
       {3, 4, 5, 6, 300},
       {0, 0, 0, 0, 0, 0, 0x03, 0x04, 0x05, 0x06, 0x01, 0x2C}},
      {0,
       {-1, 0, 31, 32, 0x12345},
       {31, 0, 31, 0, 0x12345},
       {0x1F, 0x00, 0x1F, 0x00, 0x23, 0x45, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    ScriptedLine t;
    t.Reply(1, kRead, kTable);
    t.Reply(1, kWrite);
    Group g = c.in;
    ASSERT_EQ(ChianTable(t.line(), 1, g.data(), c.group, 1), kOk);
    EXPECT_EQ(g, c.written_back);
    Bytes body = {0x80, 0x01, kWrite};
    body.insert(body.end(), c.params.begin(), c.params.end());
    ASSERT_EQ(t.transport().writes().size(), 2u);
    EXPECT_EQ(t.transport().LastBody(), body);
  }
}

TEST_F(ChainTableTest, BadGroupOrModeSendsNothing) {
  const std::pair<int32_t, int32_t> cases[] = {{2, 0}, {-1, 1}, {2, 5}, {0, 2}, {1, -1}};
  for (auto [group, mode] : cases) {
    group_ = {40, 40, 40, 40, 40};
    EXPECT_EQ(Call(group, mode), kInvalidArgument) << group << "/" << mode;
    EXPECT_EQ(group_, (Group{40, 40, 40, 40, 40}));  // not even masked
  }
  EXPECT_EQ(Sent(), 0u);
}

TEST_F(ChainTableTest, FailedReadLeavesTheRecordAndSendsNoWrite) {
  group_ = {40, 40, 40, 40, 40};
  EXPECT_EQ(Call(0, 0), kNoReply);
  t_.Reply(1, kRead, {}, 1);
  EXPECT_EQ(Call(0, 1), kRefused);
  EXPECT_EQ(group_, (Group{40, 40, 40, 40, 40}));
  EXPECT_EQ(Sent(), 2u);
}

TEST_F(ChainTableTest, ShortReplyFailsWithoutTouchingCacheOrRecord) {
  t_.Reply(1, kRead, kTable);
  ASSERT_EQ(Call(1, 0), kOk);
  const ChainCache before = t_.line().ChainCache();
  for (size_t length : {size_t{0}, size_t{6}, size_t{11}}) {
    group_ = {40, 40, 40, 40, 40};
    t_.Reply(1, kRead, Bytes(length, 0x09));
    EXPECT_EQ(Call(1, 0), kShortReply) << length;
    t_.Reply(1, kRead, Bytes(length, 0x09));
    EXPECT_EQ(Call(1, 1), kShortReply) << length;
    EXPECT_EQ(group_, (Group{40, 40, 40, 40, 40}));
    EXPECT_EQ(t_.line().ChainCache().data, before.data);
  }
  EXPECT_EQ(Sent(), 7u);  // reads only
}

}  // namespace
}  // namespace zarvo
