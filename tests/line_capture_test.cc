// Capture files of a line's frames: the pcap layout a packet analyser needs,
// each frame as the trace hook sees it, the line's name in every record,
// and a capture that cannot be created leaving the running one alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "result_codes.h"
#include "scripted_line.h"
#include "sim_fixture.h"

namespace zarvo {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ScriptedLine;

struct Record {
  uint64_t time_us;
  uint32_t original_length;
  uint8_t direction;
  std::string name;
  Bytes frame;
};

uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Reads a capture file back; fails the test when its header is not what a
// packet analyser expects.
std::vector<Record> ReadCapture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<Record> records;
  EXPECT_GE(file.size(), 24u);
  if (file.size() < 24) return records;
  EXPECT_EQ(Le32(file, 0), 0xA1B2C3D4u);  // microsecond timestamps
  EXPECT_EQ(Le32(file, 4), 0x00040002u);  // version 2.4
  EXPECT_EQ(Le32(file, 20), 147u);        // USER0
  for (size_t at = 24; at + 16 <= file.size();) {
    const uint32_t captured = Le32(file, at + 8);
    Record r{
        uint64_t{Le32(file, at)} * 1000000 + Le32(file, at + 4), Le32(file, at + 12), 0, {}, {}};
    const size_t data = at + 16;
    EXPECT_LE(data + captured, file.size());
    if (data + captured > file.size() || captured < 2) break;
    r.direction = file[data];
    const size_t name_length = file[data + 1];
    r.name.assign(file.begin() + static_cast<long>(data) + 2,
                  file.begin() + static_cast<long>(data + 2 + name_length));
    r.frame.assign(file.begin() + static_cast<long>(data + 2 + name_length),
                   file.begin() + static_cast<long>(data + captured));
    records.push_back(r);
    at = data + captured;
  }
  return records;
}

std::string TempPath(const char* name) {
  return ::testing::TempDir() + name + std::to_string(::getpid()) + ".pcap";
}

uint64_t WallUs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

struct Seen {
  std::vector<Bytes> frames;
};

void ZARVO_CALL Collect(void* context, int32_t, uint64_t, const uint8_t* bytes, int32_t count) {
  static_cast<Seen*>(context)->frames.emplace_back(bytes, bytes + count);
}

class LineCaptureTest : public ::testing::Test {
 protected:
  int32_t Probe() {
    std::array<uint8_t, 32> buffer{0x80, 0x03, 0x01};
    int32_t length = 3;
    return t_.line().Exchange(buffer.data(), 32, length, 0);
  }
  void TearDown() override {
    t_.line().Capture(nullptr);
    ::unlink(path_.c_str());
  }

  ScriptedLine t_;
  std::string path_ = TempPath("capture");
};

TEST_F(LineCaptureTest, EveryFrameGoesToTheFileAndToTheTraceHook) {
  Seen seen;
  t_.line().SetTrace(Collect, &seen);
  const uint64_t before = WallUs();
  ASSERT_TRUE(t_.line().Capture(path_.c_str()));
  t_.transport().Arrive(1, {0x55});  // noise ahead of the reply
  t_.Reply(3, 1, {0x42});
  EXPECT_EQ(Probe(), kOk);
  const uint64_t after = WallUs();

  const std::vector<Record> records = ReadCapture(path_);  // readable while running
  ASSERT_EQ(records.size(), 2u);
  ASSERT_EQ(seen.frames.size(), 2u);
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].direction, i == 0 ? ZARVO_TRACE_REQUEST : ZARVO_TRACE_REPLY);
    EXPECT_EQ(records[i].frame, seen.frames[i]);
    EXPECT_EQ(records[i].original_length, 2 + records[i].frame.size());
    // The fake clock moves by whole milliseconds while the line waits.
    EXPECT_GE(records[i].time_us, before);
    EXPECT_LE(records[i].time_us, after + 10000);
  }
  EXPECT_EQ(records[0].frame, t_.transport().writes()[0]);
  EXPECT_EQ(records[1].frame.front(), 0x55);
  EXPECT_EQ(records[1].frame.back(), 0x2D);
}

TEST_F(LineCaptureTest, StoppingEndsTheRecords) {
  ASSERT_TRUE(t_.line().Capture(path_.c_str()));
  t_.Reply(3, 1);
  EXPECT_EQ(Probe(), kOk);
  EXPECT_TRUE(t_.line().Capture(nullptr));
  t_.Reply(3, 1);
  EXPECT_EQ(Probe(), kOk);
  EXPECT_EQ(ReadCapture(path_).size(), 2u);
}

TEST_F(LineCaptureTest, AFileThatCannotBeCreatedLeavesTheRunningCaptureGoing) {
  ASSERT_TRUE(t_.line().Capture(path_.c_str()));
  EXPECT_FALSE(t_.line().Capture("/nonexistent-directory/line.pcap"));
  EXPECT_EQ(Probe(), kNoReply);  // nothing scripted: only the request is captured
  EXPECT_EQ(ReadCapture(path_).size(), 1u);
}

TEST(LineCaptureCApi, RefusesANullLineAndAnUncreatableFile) {
  EXPECT_EQ(Zarvo_LineCapture(nullptr, "x.pcap"), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_LineCapture(Zarvo_DefaultLine(), "/nonexistent-directory/line.pcap"),
            ZARVO_E_REFUSED);
  EXPECT_EQ(Zarvo_LineCapture(Zarvo_DefaultLine(), nullptr), ZARVO_OK);
}

class CaptureOnTheSimTest : public testing::SimTest {};

TEST_F(CaptureOnTheSimTest, RecordsCarryThePortName) {
  const std::string path = TempPath("sim");
  ASSERT_EQ(Zarvo_LineCapture(Zarvo_DefaultLine(), path.c_str()), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineCapture(Zarvo_DefaultLine(), nullptr), ZARVO_OK);
  const std::vector<Record> records = ReadCapture(path);
  ::unlink(path.c_str());
  ASSERT_EQ(records.size(), 2u);
  for (const Record& r : records) EXPECT_EQ(r.name, bus_.device_name());
}

}  // namespace
}  // namespace zarvo
