// The line handle end to end: created lines against virtual controllers on
// their own pseudo-terminals, driven from threads at once; what a fresh,
// closed or destroyed line does; options in the port name and by call;
// lines carried over an application's channel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct LineDeleter {
  void operator()(ZarvoLine* line) const { Zarvo_LineDestroy(line); }
};
using LinePtr = std::unique_ptr<ZarvoLine, LineDeleter>;

LinePtr NewLine() { return LinePtr(Zarvo_LineCreate()); }

std::string OpenError(ZarvoLine* line) {
  char text[256];
  EXPECT_EQ(Zarvo_LineOpenError(line, text, sizeof text), ZARVO_OK);
  return text;
}

double MillisecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// ---- Lines in parallel -------------------------------------------------

// Probes, card writes and read-backs, week table day writes and read-backs
// on `line`, with data of its own (`id`) on the same card number and table
// as every other line, so that a result or cache crossing lines shows.
// Returns the count of wrong results.
int DriveLine(ZarvoLine* line, int id, int rounds) {
  int wrong = 0;
  auto check = [&](bool ok) { wrong += ok ? 0 : 1; };
  for (int r = 0; r < rounds; ++r) {
    check(Zarvo_LineSearchAR(line, 1) == ZARVO_OK);

    CardRecord card{};
    std::snprintf(card.cardNumber, sizeof card.cardNumber, "%d", 4242 + r);
    std::snprintf(card.pin, sizeof card.pin, "%06d", id * 100 + r);
    std::memset(card.flags, '0', sizeof card.flags);
    card.value1 = id;
    card.value2 = r;
    card.year = 2031;
    card.month = 1 + id % 12;
    card.day = 1 + r;
    uint32_t ticks = 0;
    check(Zarvo_LineRegistry(line, 1, &card, &ticks, 1, 0) == ZARVO_OK);
    CardRecord back{};
    std::snprintf(back.cardNumber, sizeof back.cardNumber, "%d", 4242 + r);
    check(Zarvo_LineRegistry(line, 1, &back, &ticks, 0, 0) == ZARVO_OK);
    check(back.value1 == id && back.value2 == r && back.month == card.month &&
          std::strcmp(back.pin, card.pin) == 0);

    int32_t day[33] = {r % 7};
    for (int p = 0; p < 8; ++p) {
      day[1 + 4 * p] = (id + p) % 24;
      day[2 + 4 * p] = r;
      day[3 + 4 * p] = (id + p + 1) % 24;
      day[4 + 4 * p] = id;
    }
    check(Zarvo_LineTimeTable(line, 1, 3, day, 1) == ZARVO_OK);
    int32_t day_back[33] = {r % 7};
    check(Zarvo_LineTimeTable(line, 1, 3, day_back, 0) == ZARVO_OK);
    check(std::memcmp(day, day_back, sizeof day) == 0);
  }
  return wrong;
}

// A line of its own on a virtual controller of its own whose every reply
// comes `reply_delay_ms` late, so an exchange costs about that much wall
// time and next to no CPU, as on a real line.
struct PacedLine {
  explicit PacedLine(uint32_t reply_delay_ms) {
    EXPECT_TRUE(bus.Start());
    bus.InjectFault({sim::FaultKind::kLate, reply_delay_ms, 3, 4, -1});
    line = NewLine();
    EXPECT_EQ(Zarvo_LineOpenCom(line.get(), bus.device_name().c_str(), 9600), ZARVO_OK);
  }
  sim::VirtualBus bus;
  LinePtr line;
};

// Drives every line from a thread of its own; returns the wall time in ms.
double DriveInParallel(std::vector<std::unique_ptr<PacedLine>>& lines, int rounds,
                       std::vector<int>& wrong) {
  wrong.assign(lines.size(), 0);
  std::vector<std::thread> threads;
  const auto start = SteadyClock::now();
  for (size_t i = 0; i < lines.size(); ++i) {
    threads.emplace_back(
        [&, i] { wrong[i] = DriveLine(lines[i]->line.get(), static_cast<int>(i) + 1, rounds); });
  }
  for (std::thread& t : threads) t.join();
  return MillisecondsSince(start);
}

class ParallelLinesTest : public ::testing::TestWithParam<int> {};

TEST_P(ParallelLinesTest, EachLineSeesItsOwnResultsInAboutTheTimeOfOne) {
  constexpr uint32_t kReplyDelayMs = 20;
  constexpr int kRounds = 4;
  const int count = GetParam();

  std::vector<std::unique_ptr<PacedLine>> one;
  one.push_back(std::make_unique<PacedLine>(kReplyDelayMs));
  std::vector<int> wrong;
  const double one_ms = DriveInParallel(one, kRounds, wrong);
  ASSERT_EQ(wrong[0], 0);
  const uint64_t requests_per_line = one[0]->bus.request_count();

  std::vector<std::unique_ptr<PacedLine>> lines;
  for (int i = 0; i < count; ++i) lines.push_back(std::make_unique<PacedLine>(kReplyDelayMs));
  const double all_ms = DriveInParallel(lines, kRounds, wrong);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(wrong[static_cast<size_t>(i)], 0) << "line " << i;
    // Each line's cache served its own reads: every bus saw the same
    // exchanges as the single line's did.
    EXPECT_EQ(lines[static_cast<size_t>(i)]->bus.request_count(), requests_per_line);
  }
  // Serialized lines would take `count` times as long.
  EXPECT_LT(all_ms, (count == 2 ? 1.6 : 2.0) * one_ms)
      << count << " lines: " << all_ms << " ms, one line: " << one_ms << " ms";
}

INSTANTIATE_TEST_SUITE_P(Lines, ParallelLinesTest, ::testing::Values(2, 4));

// ---- The handle --------------------------------------------------------

TEST(LineHandle, NullHandleIsAnInvalidArgument) {
  int32_t day[33] = {};
  char text[8];
  const ZarvoChannel channel{};
  const int32_t results[] = {
      Zarvo_LineOpenCom(nullptr, "/dev/null", 9600),
      Zarvo_LineCloseCom(nullptr),
      Zarvo_LineSearchAR(nullptr, 1),
      Zarvo_LineTimeTable(nullptr, 1, 1, day, 0),
      Zarvo_LineRestoreMaxRecord(nullptr, 0),
      Zarvo_LineOpenChannel(nullptr, &channel),
      Zarvo_LineOpenError(nullptr, text, sizeof text),
      Zarvo_LineLastError(nullptr, text, sizeof text),
      Zarvo_LineSetOption(nullptr, "echo", "on"),
      Zarvo_LineSetTrace(nullptr, nullptr, nullptr),
  };
  for (size_t i = 0; i < std::size(results); ++i) {
    EXPECT_EQ(results[i], ZARVO_E_INVALID_ARG) << "call " << i;
  }
  Zarvo_LineDestroy(nullptr);
}

TEST(LineHandle, CreatedLineStartsClosedWithNothingCached) {
  sim::VirtualBus bus;
  ASSERT_TRUE(bus.Start());
  LinePtr line = NewLine();
  ASSERT_NE(line, nullptr);
  EXPECT_NE(line.get(), Zarvo_DefaultLine());
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_E_NOT_OPEN);
  EXPECT_EQ(OpenError(line.get()), "");

  // The default line's table copy is not the new line's: its first read
  // goes to the wire.
  ASSERT_EQ(Zarvo_OpenCom(bus.device_name().c_str(), 9600), ZARVO_OK);
  int32_t day[33] = {0};
  ASSERT_EQ(Zarvo_TimeTable(1, 1, day, 0), ZARVO_OK);
  Zarvo_CloseCom();
  ASSERT_EQ(Zarvo_LineOpenCom(line.get(), bus.device_name().c_str(), 9600), ZARVO_OK);
  const uint64_t before = bus.request_count();
  ASSERT_EQ(Zarvo_LineTimeTable(line.get(), 1, 1, day, 0), ZARVO_OK);
  EXPECT_EQ(bus.request_count(), before + 1);
}

TEST(LineHandle, DestroyingTheDefaultLineClosesItButKeepsIt) {
  sim::VirtualBus bus;
  ASSERT_TRUE(bus.Start());
  ZarvoLine* line = Zarvo_DefaultLine();
  ASSERT_EQ(Zarvo_OpenCom(bus.device_name().c_str(), 9600), ZARVO_OK);
  Zarvo_LineDestroy(line);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN);
  EXPECT_EQ(Zarvo_DefaultLine(), line);
  ASSERT_EQ(Zarvo_LineOpenCom(line, bus.device_name().c_str(), 9600), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  Zarvo_CloseCom();
}

TEST(LineHandle, LastErrorSaysWhyTheLastCallFailedAndIsEmptyAfterSuccess) {
  sim::VirtualBus bus;
  ASSERT_TRUE(bus.Start());
  LinePtr line = NewLine();
  auto last_error = [&] {
    char text[128];
    EXPECT_EQ(Zarvo_LineLastError(line.get(), text, sizeof text), ZARVO_OK);
    return std::string(text);
  };
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_E_NOT_OPEN);
  EXPECT_EQ(last_error(), "no port open");
  ASSERT_EQ(Zarvo_LineOpenCom(line.get(), bus.device_name().c_str(), 9600), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 77), ZARVO_E_NO_REPLY);
  EXPECT_EQ(last_error(), "no byte within 200 ms");
  char cut[4];
  EXPECT_EQ(Zarvo_LineLastError(line.get(), cut, sizeof cut), ZARVO_OK);
  EXPECT_STREQ(cut, "no ");
  EXPECT_EQ(Zarvo_LineLastError(line.get(), cut, 0), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_OK);
  EXPECT_EQ(last_error(), "");
  EXPECT_EQ(Zarvo_LineRemoteCloseDoor(line.get(), 1, 4), ZARVO_E_INVALID_ARG);  // no door 4
  EXPECT_NE(last_error(), "");
}

TEST(LineHandle, OpenErrorExplainsAFailedOpenAndIsEmptyAfterSuccess) {
  sim::VirtualBus bus;
  ASSERT_TRUE(bus.Start());
  LinePtr line = NewLine();
  EXPECT_EQ(Zarvo_LineOpenCom(line.get(), "/dev/zarvo-no-such-device", 9600), ZARVO_E_REFUSED);
  EXPECT_NE(OpenError(line.get()).find("no such device"), std::string::npos);
  char cut[4];
  EXPECT_EQ(Zarvo_LineOpenError(line.get(), cut, sizeof cut), ZARVO_OK);
  EXPECT_EQ(std::strlen(cut), 3u);
  EXPECT_EQ(Zarvo_LineOpenError(line.get(), cut, 0), ZARVO_E_INVALID_ARG);

  ASSERT_EQ(Zarvo_LineOpenCom(line.get(), bus.device_name().c_str(), 9600), ZARVO_OK);
  EXPECT_EQ(OpenError(line.get()), "");

  // Without a name the open fails too, and says so rather than nothing.
  EXPECT_EQ(Zarvo_LineOpenCom(line.get(), nullptr, 9600), ZARVO_E_REFUSED);
  EXPECT_NE(OpenError(line.get()), "");
  EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_E_NOT_OPEN);
}

// ---- Options -----------------------------------------------------------

TEST(LineOptions, MalformedOptionsInTheNameRefuseTheOpenAndSendNothing) {
  sim::VirtualBus bus;
  ASSERT_TRUE(bus.Start());
  LinePtr line = NewLine();
  const std::string device = bus.device_name();
  struct Row {
    std::string suffix;
    const char* reason;  // a part of the explanation
  };
  const Row rows[] = {
      {"?echo=maybe", "auto, on or off"},
      {"?wait=-1", "wait=-1"},
      {"?wait=abc", "milliseconds"},
      {"?wait=60001", "milliseconds"},
      {"?bogus=1", "unknown line option 'bogus'"},
      {"?echo", "no value"},
      {"?echo=on&", ""},  // a trailing separator is harmless
      {"?echo=on&rs485=sometimes", "rts or none"},
      {std::string(300, 'x') + "?echo=on", "longer than"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.suffix.substr(0, 40));
    ASSERT_EQ(Zarvo_LineOpenCom(line.get(), device.c_str(), 9600), ZARVO_OK);
    const std::string name = row.suffix[0] == '?' ? device + row.suffix : "/tmp/" + row.suffix;
    const int32_t result = Zarvo_LineOpenCom(line.get(), name.c_str(), 9600);
    if (row.reason[0] == '\0') {
      EXPECT_EQ(result, ZARVO_OK);
      continue;
    }
    EXPECT_EQ(result, ZARVO_E_REFUSED);
    EXPECT_NE(OpenError(line.get()).find(row.reason), std::string::npos) << OpenError(line.get());
    EXPECT_EQ(Zarvo_LineSearchAR(line.get(), 1), ZARVO_E_NOT_OPEN);
  }
  EXPECT_EQ(bus.request_count(), 0u);
}

TEST(LineOptions, BadKeyOrValueByCallIsAnInvalidArgument) {
  LinePtr line = NewLine();
  const std::pair<const char*, const char*> rows[] = {
      {"bogus", "1"},    {"echo", "maybe"}, {"echo", ""},    {"wait", "-5"},    {"wait", "1e3"},
      {"wait", "60001"}, {"rs485", "cts"},  {nullptr, "on"}, {"echo", nullptr},
  };
  for (const auto& [key, value] : rows) {
    EXPECT_EQ(Zarvo_LineSetOption(line.get(), key, value), ZARVO_E_INVALID_ARG)
        << (key ? key : "NULL") << "=" << (value ? value : "NULL");
  }
  EXPECT_EQ(Zarvo_LineSetOption(line.get(), "wait", "60000"), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSetOption(line.get(), "rts_after", "2"), ZARVO_OK);
}

// ---- Application channels ----------------------------------------------

// A channel carried over the host side of a virtual controller's
// pseudo-terminal, counting how often the line lets go of it.
class PtyChannel {
 public:
  explicit PtyChannel(const std::string& device)
      : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~PtyChannel() { ::close(fd_); }

  ZarvoChannel channel() { return {this, &Write, &Read, &Discard, &Close}; }
  int closes() const { return closes_; }
  bool valid() const { return fd_ >= 0; }

  // Reports one byte more than was asked for (and stores nothing).
  static int32_t ZARVO_CALL ReadTooMuch(void*, uint8_t*, int32_t capacity, uint32_t) {
    return capacity + 1;
  }

 private:
  static PtyChannel& Of(void* context) { return *static_cast<PtyChannel*>(context); }
  static int32_t ZARVO_CALL Write(void* context, const uint8_t* bytes, int32_t count) {
    return static_cast<int32_t>(::write(Of(context).fd_, bytes, static_cast<size_t>(count)));
  }
  static int32_t ZARVO_CALL Read(void* context, uint8_t* dest, int32_t capacity, uint32_t wait_ms) {
    pollfd p{Of(context).fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait_ms)) <= 0) return 0;
    return static_cast<int32_t>(::read(Of(context).fd_, dest, static_cast<size_t>(capacity)));
  }
  static void ZARVO_CALL Discard(void* context) { tcflush(Of(context).fd_, TCIFLUSH); }
  static void ZARVO_CALL Close(void* context) { ++Of(context).closes_; }

  int fd_;
  int closes_ = 0;
};

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus_.Start());
    pty_ = std::make_unique<PtyChannel>(bus_.device_name());
    ASSERT_TRUE(pty_->valid());
  }

  sim::VirtualBus bus_;
  std::unique_ptr<PtyChannel> pty_;
  LinePtr line_ = NewLine();
};

TEST_F(ChannelTest, ProbeAndCardWriteRunOverTheChannel) {
  const ZarvoChannel channel = pty_->channel();
  ASSERT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line_.get(), 1), ZARVO_OK);
  CardRecord card{};
  std::strcpy(card.cardNumber, "31337");
  std::strcpy(card.pin, "00A1B2");
  std::memset(card.flags, '1', sizeof card.flags);
  card.year = 2030;
  card.month = card.day = 1;
  uint32_t ticks = 0;
  EXPECT_EQ(Zarvo_LineRegistry(line_.get(), 1, &card, &ticks, 1, 0), ZARVO_OK);
  bool stored = false;
  bus_.WithController(
      1, [&](sim::ControllerState& state) { stored = state.cards.FindSingle(31337) != nullptr; });
  EXPECT_TRUE(stored);
  EXPECT_EQ(bus_.request_count(), 2u);
}

TEST_F(ChannelTest, ChannelWithoutWriteOrReadIsRefused) {
  ZarvoChannel channel = pty_->channel();
  channel.write = nullptr;
  EXPECT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_E_INVALID_ARG);
  channel = pty_->channel();
  channel.read = nullptr;
  EXPECT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_LineOpenChannel(line_.get(), nullptr), ZARVO_E_INVALID_ARG);
  EXPECT_EQ(Zarvo_LineSearchAR(line_.get(), 1), ZARVO_E_NOT_OPEN);
  EXPECT_EQ(pty_->closes(), 0);
}

TEST_F(ChannelTest, CloseIsCalledOnceWhenTheLineLetsGo) {
  const ZarvoChannel channel = pty_->channel();
  ASSERT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_OK);
  Zarvo_LineCloseCom(line_.get());
  Zarvo_LineCloseCom(line_.get());
  EXPECT_EQ(pty_->closes(), 1);

  ASSERT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_OK);
  ASSERT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_OK);  // reopen
  EXPECT_EQ(pty_->closes(), 2);
  ASSERT_EQ(Zarvo_LineOpenCom(line_.get(), "/dev/zarvo-no-such-device", 9600), ZARVO_E_REFUSED);
  EXPECT_EQ(pty_->closes(), 3);

  ASSERT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_OK);
  line_.reset();
  EXPECT_EQ(pty_->closes(), 4);
}

TEST_F(ChannelTest, ReadReportingMoreThanItsCapacityIsALostLink) {
  ZarvoChannel channel = pty_->channel();
  channel.read = &PtyChannel::ReadTooMuch;
  ASSERT_EQ(Zarvo_LineOpenChannel(line_.get(), &channel), ZARVO_OK);
  const auto start = SteadyClock::now();
  CardRecord card{};
  std::strcpy(card.cardNumber, "1");
  uint32_t ticks = 0;
  EXPECT_EQ(Zarvo_LineRegistry(line_.get(), 1, &card, &ticks, 0, 0), ZARVO_E_NO_REPLY);
  EXPECT_LT(MillisecondsSince(start), 1000);  // not the card read's 10 s silence limit
}

}  // namespace
}  // namespace zarvo
