// tcp:// and rfc2217:// lines against the virtual controller served over
// TCP and against peers that refuse, vanish or never answer: every failure
// ends at once with a reason or a result code, and a lost connection comes
// back on the next call.
#include "transport/tcp_transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "line/line.h"
#include "local_tcp.h"
#include "tcp_device_server.h"
#include "transport/socket_connection.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string OpenError(ZarvoLine* line) {
  char text[256] = {};
  Zarvo_LineOpenError(line, text, sizeof text);
  return text;
}

class NetworkLineTest : public ::testing::Test {
 protected:
  void SetUp() override { line_ = Zarvo_LineCreate(); }
  void TearDown() override { Zarvo_LineDestroy(line_); }

  ZarvoLine* line_ = nullptr;
};

TEST_F(NetworkLineTest, OpenFailsAtOnceWithTheReason) {
  testing::SilentTcpPeer peer;  // a port surely in use, to find one surely closed
  const uint16_t closed = testing::FreeTcpPort();
  struct Row {
    std::string port;
    const char* reason;
    int32_t baud = 9600;
  };
  const Row rows[] = {
      {"tcp://127.0.0.1", "malformed address, expected tcp://HOST:PORT"},
      {"tcp://:4001", "malformed address"},
      {"tcp://127.0.0.1:70000", "malformed address"},
      {"tcp://::1:4001", "malformed address"},
      {"tcp://[::1:4001", "malformed address"},
      {"rfc2217://host", "malformed address, expected rfc2217://HOST:PORT"},
      {"tcp://127.0.0.1:" + std::to_string(closed), "connection refused"},
      {"rfc2217://127.0.0.1:" + std::to_string(closed), "connection refused"},
      {"tcp://no-such-host.invalid:4001", "cannot resolve host 'no-such-host.invalid'"},
      {peer.url("rfc2217"), "0 bit/s is not a line speed", 0},
      {peer.url("rfc2217"), "-9600 bit/s is not a line speed", -9600},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.port);
    const auto start = Clock::now();
    EXPECT_EQ(Zarvo_LineOpenCom(line_, row.port.c_str(), row.baud), ZARVO_E_REFUSED);
    EXPECT_LT(MsSince(start), 1000);
    EXPECT_NE(OpenError(line_).find(row.reason), std::string::npos) << OpenError(line_);
    EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_E_NOT_OPEN);
  }
}

TEST_F(NetworkLineTest, ConnectGivesUpAfterItsDeadline) {
  testing::SilentTcpPeer full(true);
  const auto start = Clock::now();
  EXPECT_EQ(Zarvo_LineOpenCom(line_, full.url().c_str(), 9600), ZARVO_E_REFUSED);
  EXPECT_GE(MsSince(start), 2900);
  EXPECT_LT(MsSince(start), 4000);
  EXPECT_EQ(OpenError(line_), "connection timed out after 3 s");
}

TEST_F(NetworkLineTest, SilentPeerEndsTheCallAfterTheSilenceLimit) {
  testing::SilentTcpPeer peer;
  ASSERT_EQ(Zarvo_LineOpenCom(line_, peer.url().c_str(), 9600), ZARVO_OK);
  char version[33] = {};
  const auto start = Clock::now();
  EXPECT_EQ(Zarvo_LineVer(line_, 1, version), ZARVO_E_NO_REPLY);
  EXPECT_GE(MsSince(start), 490);
  EXPECT_LT(MsSince(start), 1500);
}

TEST_F(NetworkLineTest, TelnetPeerThatNeverNegotiatesStillCarriesTheLine) {
  testing::SilentTcpPeer peer;
  const auto start = Clock::now();
  EXPECT_EQ(Zarvo_LineOpenCom(line_, peer.url("rfc2217").c_str(), 9600), ZARVO_OK);
  EXPECT_LT(MsSince(start), 3000);
  EXPECT_NE(OpenError(line_).find("refused COM-port control"), std::string::npos);
}

TEST_F(NetworkLineTest, TelnetServerMustCarryBinaryBothWays) {
  constexpr uint8_t kIac = 255, kDo = 253, kDont = 254, kWill = 251, kWont = 252, kSb = 250,
                    kSe = 240, kBinary = 0, kComPort = 44;
  const std::vector<uint8_t> com_port_agreed = {
      kIac,     kDo,  kComPort, kIac,     kSb, kComPort, 101,  0,        0,    0x25, 0x80,     kIac,
      kSe,      kIac, kSb,      kComPort, 102, 8,        kIac, kSe,      kIac, kSb,  kComPort, 103,
      1,        kIac, kSe,      kIac,     kSb, kComPort, 104,  1,        kIac, kSe,  kIac,     kSb,
      kComPort, 105,  1,        kIac,     kSe, kIac,     kSb,  kComPort, 112,  1,    kIac,     kSe};
  const char* const kNotBinary = "refuses Telnet binary mode";
  struct Row {
    const char* name;
    std::vector<uint8_t> binary_answers;
    bool com_port;
    int32_t result;
    const char* reason;  // nullptr: none
  };
  const Row rows[] = {
      {"refused both ways", {kIac, kDont, kBinary, kIac, kWont, kBinary}, true, -1, kNotBinary},
      {"refused to us only", {kIac, kDo, kBinary, kIac, kWont, kBinary}, true, -1, kNotBinary},
      {"refused from us only", {kIac, kWill, kBinary, kIac, kDont, kBinary}, true, -1, kNotBinary},
      {"agreed", {kIac, kDo, kBinary, kIac, kWill, kBinary}, true, 0, nullptr},
      {"agreed, COM-port control refused",
       {kIac, kDont, kComPort, kIac, kDo, kBinary, kIac, kWill, kBinary},
       false,
       0,
       "refused COM-port control"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> says = row.binary_answers;
    if (row.com_port) says.insert(says.end(), com_port_agreed.begin(), com_port_agreed.end());
    testing::ScriptedTcpPeer server(says);
    const auto start = Clock::now();
    EXPECT_EQ(Zarvo_LineOpenCom(line_, server.url("rfc2217").c_str(), 9600), row.result);
    EXPECT_LT(MsSince(start), 1000);
    if (row.reason == nullptr) {
      EXPECT_EQ(OpenError(line_), "");
    } else {
      EXPECT_NE(OpenError(line_).find(row.reason), std::string::npos) << OpenError(line_);
    }
    Zarvo_LineCloseCom(line_);
  }
}

// A name server that never answers, until the test lets its lookup go.
struct UnansweredLookup {
  static int Run(const char*, const char*, net::SocketAddress*, int) {
    std::unique_lock<std::mutex> lock(mutex);
    released.wait(lock, [] { return done; });
    return -1;
  }
  static void Release() {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    released.notify_all();
  }
  static inline std::mutex mutex;
  static inline std::condition_variable released;
  static inline bool done = false;
};

TEST(NameLookupTest, NameServerThatNeverAnswersEndsTheOpenWithinItsDeadline) {
  net::SocketConnection connection;
  connection.set_name_lookup(UnansweredLookup::Run);
  OpenFailure why;
  const auto start = Clock::now();
  EXPECT_FALSE(connection.Open("door-gw.example:4001", "tcp", why));
  EXPECT_GE(MsSince(start), 2900);
  EXPECT_LT(MsSince(start), 3500);
  EXPECT_STREQ(why.text(),
               "cannot resolve host 'door-gw.example': no answer from the name server within 3 s");
  // A numeric address needs no name server.
  EXPECT_FALSE(connection.Open("127.0.0.1:1", "tcp", why));
  EXPECT_STREQ(why.text(), "connection refused");
  UnansweredLookup::Release();
}

TEST(DeviceServerWriteTest, ServerThatStopsReadingEndsTheCallAndTheNextReconnects) {
  testing::SilentTcpPeer peer(false, 2048);  // never reads: its window closes
  auto tcp = std::make_unique<TcpTransport>();
  OpenFailure why;
  ASSERT_EQ(tcp->Open(("127.0.0.1:" + std::to_string(peer.port())).c_str(), why), ZARVO_OK);
  Line line(std::move(tcp), std::make_unique<MonotonicClock>());
  // Requests of the largest size, with a silence limit of 1 ms, fill the
  // system's buffers (a few megabytes) in a few hundred calls.
  uint8_t body[Line::kMaxBody] = {0x80, 1, 1};
  const auto start = Clock::now();
  for (int call = 0; call < 5000 && line.stats().linksLost == 0; ++call) {
    int32_t length = Line::kMaxBody;
    ASSERT_EQ(line.Exchange(body, sizeof body, length, 1), ZARVO_E_NO_REPLY);
  }
  EXPECT_EQ(line.stats().linksLost, 1u);
  EXPECT_LT(MsSince(start), 20000);
  int32_t length = 3;
  EXPECT_EQ(line.Exchange(body, sizeof body, length, 1), ZARVO_E_NO_REPLY);
  EXPECT_EQ(line.stats().reconnects, 1u);
}

class SimOverTcpTest : public NetworkLineTest {
 protected:
  void SetUp() override {
    NetworkLineTest::SetUp();
    ASSERT_TRUE(bus_.Start());
    std::string error;
    ASSERT_TRUE(server_.Start("127.0.0.1", 0, error)) << error;
    ASSERT_EQ(Zarvo_LineOpenCom(line_, server_.url().c_str(), 9600), ZARVO_OK) << OpenError(line_);
  }
  void TearDown() override {
    NetworkLineTest::TearDown();
    server_.Stop();
    bus_.Stop();
  }

  sim::VirtualBus bus_{{1, 2}};
  sim::TcpDeviceServer server_{bus_};
};

TEST_F(SimOverTcpTest, OperationsRunOverTheConnection) {
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 2), ZARVO_OK);
  char version[33] = {};
  EXPECT_EQ(Zarvo_LineVer(line_, 1, version), ZARVO_OK);
  EXPECT_NE(version[0], '\0');
  int32_t values[6] = {};
  EXPECT_EQ(Zarvo_LineDeviceInformation(line_, 2, values), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 7), ZARVO_E_NO_REPLY);
  EXPECT_EQ(server_.connections_accepted(), 1u);
}

TEST_F(SimOverTcpTest, HostNamesAndBracketedAddressesReachTheServer) {
  // "localhost" may name ::1 first, where nothing listens: the next
  // address is tried.
  const std::string by_name = "tcp://localhost:" + std::to_string(server_.port());
  ASSERT_EQ(Zarvo_LineOpenCom(line_, by_name.c_str(), 9600), ZARVO_OK) << OpenError(line_);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);

  sim::TcpDeviceServer ipv6(bus_);
  std::string error;
  if (!ipv6.Start("::1", 0, error)) GTEST_SKIP() << "no IPv6 loopback: " << error;
  EXPECT_EQ(ipv6.url(), "tcp://[::1]:" + std::to_string(ipv6.port()));
  ASSERT_EQ(Zarvo_LineOpenCom(line_, ipv6.url().c_str(), 9600), ZARVO_OK) << OpenError(line_);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
}

TEST_F(SimOverTcpTest, ServerClosingMidReplyEndsTheCallAtOnceAndTheNextReconnects) {
  ASSERT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
  sim::Fault close;
  close.kind = sim::FaultKind::kCloseLine;
  bus_.InjectFault(close);
  const auto start = Clock::now();
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_E_NO_REPLY);
  EXPECT_LT(MsSince(start), 250) << "the silence limit (500 ms) must not be waited out";

  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 2), ZARVO_OK);
  EXPECT_EQ(server_.connections_accepted(), 2u);
  ZarvoLineStats stats{};
  ASSERT_EQ(Zarvo_LineStats(line_, &stats, 0), ZARVO_OK);
  EXPECT_EQ(stats.reconnects, 1u);
  EXPECT_EQ(stats.linksLost, 1u);
}

TEST_F(SimOverTcpTest, ServerGoneFailsFastAndComesBackWhenItDoes) {
  const uint16_t port = server_.port();
  server_.Stop();
  auto start = Clock::now();
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_E_NO_REPLY);
  EXPECT_LT(MsSince(start), 250);

  std::string error;
  ASSERT_TRUE(server_.Start("127.0.0.1", port, error)) << error;
  EXPECT_EQ(Zarvo_LineSearchAR(line_, 1), ZARVO_OK);
}

}  // namespace
}  // namespace zarvo
