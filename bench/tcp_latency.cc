// A tcp:// line on loopback: the probe against a raw TCP round trip of the
// same bytes to the same device server (which relays to the benchmark's
// responder), and the heap allocations of a call on the open line.
//
// The server serves one client at a time, the newest, so the raw client and
// the line take turns in blocks; each turn starts with a call that is not
// timed (the line reconnects there, the raw client warms up).
#include "tcp_latency.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "alloc_counter.h"
#include "responder.h"
#include "stats.h"
#include "tcp_device_server.h"
#include "zarvoac.h"

namespace zarvo::bench {
namespace {

constexpr int kBlock = 50;

class RawTcpClient {
 public:
  explicit RawTcpClient(uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~RawTcpClient() {
    if (fd_ >= 0) ::close(fd_);
  }

  // The probe out (12 bytes), its 14-byte reply back.
  int32_t RoundTrip() {
    static const uint8_t kProbe[] = {0xE1, 0x08, 0x00, 0x00, 0x01, 0x00,
                                     0x01, 0x01, 0x08, 0x04, 0x0A, 0x1E};
    if (fd_ < 0 || ::send(fd_, kProbe, sizeof kProbe, MSG_NOSIGNAL) != sizeof kProbe) return -1;
    uint8_t reply[64];
    size_t got = 0;
    while (got < 14) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) return -1;
      const ssize_t n = ::recv(fd_, reply + got, sizeof reply - got, 0);
      if (n <= 0) return -1;
      got += static_cast<size_t>(n);
    }
    return 0;
  }

 private:
  int fd_;
};

double Timed(int32_t (*call)(void*), void* context, int* failures) {
  const double t0 = NowUs();
  if (call(context) < 0) ++*failures;
  return NowUs() - t0;
}

int32_t RawCall(void* client) { return static_cast<RawTcpClient*>(client)->RoundTrip(); }
int32_t LineCall(void* line) { return Zarvo_LineSearchAR(static_cast<ZarvoLine*>(line), 1); }

double AllocationsPerCall(ZarvoLine* line, int calls) {
  StartCountingAllocations();
  for (int i = 0; i < calls; ++i) Zarvo_LineSearchAR(line, 1);
  return static_cast<double>(StopCountingAllocations()) / calls;
}

}  // namespace

int TcpLatencyFigures(int round_trips) {
  Responder responder;
  sim::TcpDeviceServer server([&responder](bool) { return std::string(responder.device_name()); });
  std::string error;
  if (!responder.Start() || !server.Start("127.0.0.1", 0, error)) {
    std::fprintf(stderr, "zarvo-bench: tcp server: %s\n", error.c_str());
    return 1;
  }
  ZarvoLine* line = Zarvo_LineCreate();
  int failures = 0;
  if (Zarvo_LineOpenCom(line, server.url().c_str(), 9600) != ZARVO_OK) {
    std::fprintf(stderr, "zarvo-bench: cannot open %s\n", server.url().c_str());
    Zarvo_LineDestroy(line);
    return 1;
  }
  Samples raw, library;
  for (int done = 0; done < round_trips; done += kBlock) {
    {
      RawTcpClient client(server.port());
      Timed(RawCall, &client, &failures);
      for (int i = 0; i < kBlock; ++i) raw.Add(Timed(RawCall, &client, &failures));
    }
    Timed(LineCall, line, &failures);  // reconnects: the raw client took over
    for (int i = 0; i < kBlock; ++i) library.Add(Timed(LineCall, line, &failures));
  }
  const double steady = AllocationsPerCall(line, 10);
  RawTcpClient intruder(server.port());
  intruder.RoundTrip();
  const double reconnecting = AllocationsPerCall(line, 1);

  const Summary r = raw.Summarize(0), l = library.Summarize(0);
  std::printf(
      "\n| tcp:// on loopback | min (us) | p50 (us) | p99 (us) | min/raw (target <= 1.3) |\n");
  std::printf("|---|---|---|---|---|\n");
  std::printf("| raw TCP round trip (12 + 14 B) | %.1f | %.1f | %.1f | 1.00x |\n", r.min_us,
              r.p50_us, r.p99_us);
  std::printf("| Zarvo_LineSearchAR over tcp:// | %.1f | %.1f | %.1f | %.2fx |\n", l.min_us,
              l.p50_us, l.p99_us, l.min_us / r.min_us);
  std::printf("\n| tcp:// call | heap allocations per call (target 0) |\n|---|---|\n");
  std::printf("| Zarvo_LineSearchAR, open line | %.1f |\n", steady);
  std::printf("| Zarvo_LineSearchAR, reconnecting | %.1f |\n", reconnecting);
  Zarvo_LineDestroy(line);
  server.Stop();
  responder.Stop();
  return failures;
}

}  // namespace zarvo::bench
