// zarvo-bench: the library's exchange costs against a raw round trip on the
// same pseudo-terminal, measured in the same run so that the drift of a
// shared machine cancels out of the ratios.
//
//   zarvo-bench            full run (about a minute)
//   zarvo-bench --quick    a few iterations of everything, for CI
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "address_scan.h"
#include "alloc_counter.h"
#include "line/line.h"
#include "parallel_lines.h"
#include "responder.h"
#include "stats.h"
#include "tcp_latency.h"
#include "zarvoac.h"

namespace zarvo::bench {
namespace {

struct Config {
  int round_trips = 2000;
  int table_ops = 500;
  int timeout_runs = 10;
  int paced_runs = 20;
  int parallel_exchanges = 40;
  int last_scanned_address = 254;
};

// Raw round trip: write the 12-byte probe, read the 14-byte reply, nothing
// else; the floor any serial library stands on.
class RawLine {
 public:
  explicit RawLine(const std::string& device) : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY)) {
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd_, TCSANOW, &tio);
  }
  ~RawLine() { ::close(fd_); }

  int32_t RoundTrip() {
    static const uint8_t kProbe[] = {0xE1, 0x08, 0x00, 0x00, 0x01, 0x00,
                                     0x01, 0x01, 0x08, 0x04, 0x0A, 0x1E};
    if (::write(fd_, kProbe, sizeof kProbe) != static_cast<ssize_t>(sizeof kProbe)) return -1;
    uint8_t reply[64];
    size_t got = 0;
    while (got < 14) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) return -1;
      const ssize_t n = ::read(fd_, reply + got, sizeof reply - got);
      if (n <= 0) return -1;
      got += static_cast<size_t>(n);
    }
    return 0;
  }

 private:
  int fd_;
};

// Times one operation: wall time into `samples`, thread CPU into `cpu_us`.
int32_t TimeOne(const std::function<int32_t()>& call, Samples& samples, double& cpu_us) {
  const double cpu0 = ThreadCpuUs();
  const double t0 = NowUs();
  const int32_t result = call();
  samples.Add(NowUs() - t0);
  cpu_us += ThreadCpuUs() - cpu0;
  return result;
}

struct Pair {
  Summary raw;
  Summary library;
};

// The raw round trip and a library call, alternating on the same line, so
// that both see the same machine load.
Pair Interleaved(RawLine& raw_line, int runs, const std::function<int32_t()>& call, int* failures) {
  Samples raw, library;
  double raw_cpu = 0, library_cpu = 0;
  for (int i = 0; i < runs; ++i) {
    if (TimeOne([&] { return raw_line.RoundTrip(); }, raw, raw_cpu) < 0) ++*failures;
    if (TimeOne(call, library, library_cpu) < 0) ++*failures;
  }
  return {raw.Summarize(raw_cpu), library.Summarize(library_cpu)};
}

Summary Measure(int runs, const std::function<int32_t()>& call, int* failures) {
  Samples samples;
  double cpu = 0;
  for (int i = 0; i < runs; ++i) {
    if (TimeOne(call, samples, cpu) < 0) ++*failures;
  }
  return samples.Summarize(cpu);
}

void PrintRow(const char* name, const Summary& s, const Summary& raw) {
  std::printf("| %-26s | %8.1f | %8.1f | %8.1f | %9.0f | %7.1f | %5.2fx | %5.2fx |\n", name,
              s.min_us, s.p50_us, s.p99_us, s.per_second, s.cpu_us, s.min_us / raw.min_us,
              s.cpu_us / raw.cpu_us);
}

int32_t ExchangeSilent(uint32_t timeout_ms) {
  uint8_t body[32] = {0x80, Responder::kSilentAddress, 0x01};
  int32_t length = 3;
  Line& session = Line::Default();
  auto lock = session.Lock();
  return session.Exchange(body, 32, length, timeout_ms);
}

void SilenceFigures(const Config& config) {
  const double cpu0 = ThreadCpuUs();
  ExchangeSilent(500);
  std::printf("\nCPU while waiting out a 500 ms silence: %.3f ms (target <= 0.15 ms)\n",
              (ThreadCpuUs() - cpu0) / 1000.0);

  std::printf("\n| silence limit | runs | mean over (ms) | p99 over (ms) | target p99 |\n");
  std::printf("|---|---|---|---|---|\n");
  for (uint32_t limit : {200u, 500u, 1000u}) {
    std::vector<double> over;
    for (int i = 0; i < config.timeout_runs; ++i) {
      const double t0 = NowUs();
      ExchangeSilent(limit);
      over.push_back((NowUs() - t0) / 1000.0 - limit);
    }
    std::sort(over.begin(), over.end());
    double mean = 0;
    for (double o : over) mean += o;
    mean /= static_cast<double>(over.size());
    const double p99 = over[static_cast<size_t>(0.99 * static_cast<double>(over.size() - 1))];
    std::printf("| %u ms | %d | %.2f | %.2f | < 2 |\n", limit, config.timeout_runs, mean, p99);
  }
}

void AllocationFigures() {
  int32_t day[33] = {3};
  int32_t holiday[2] = {1, 1};
  CardRecord card{};
  std::strcpy(card.cardNumber, "123");
  uint32_t ticks = 0;
  const std::pair<const char*, std::function<int32_t()>> calls[] = {
      {"Zarvo_SearchAR", [] { return Zarvo_SearchAR(1); }},
      {"Zarvo_TimeTable (read)", [&] { return Zarvo_TimeTable(1, 1, day, 0); }},
      {"Zarvo_HolidayTable (write)", [&] { return Zarvo_HolidayTable(1, 5, holiday, 1); }},
      {"Zarvo_Registry (write)", [&] { return Zarvo_Registry(1, &card, &ticks, 1, 0); }},
      {"Zarvo_SearchAR (no reply)", [] { return Zarvo_SearchAR(Responder::kSilentAddress); }},
  };
  std::printf("\n| call | heap allocations per call (target 0) |\n|---|---|\n");
  for (const auto& [name, call] : calls) {
    call();  // first use may set up process-wide state
    StartCountingAllocations();
    for (int i = 0; i < 10; ++i) call();
    std::printf("| %s | %.1f |\n", name, static_cast<double>(StopCountingAllocations()) / 10.0);
  }
}

void PacedFigures(Responder& responder, const Config& config) {
  // At 9600 bit/s a byte takes 10/9600 s; the probe is 12 bytes out and 14
  // back; a week table read 14 out and 526 back.
  responder.set_paced_baud(9600);
  std::printf(
      "\n| paced at 9600 bit/s | wire time (ms) | exchange p50 (ms) | ratio (target <= 1.02) |\n");
  std::printf("|---|---|---|---|\n");
  struct Case {
    const char* name;
    size_t wire_bytes;
    std::function<int32_t()> call;
  };
  int32_t day[33] = {0};
  int table = 0;
  const Case cases[] = {
      {"probe", 12 + 14, [] { return Zarvo_SearchAR(1); }},
      {"week table read", 14 + 2 * (5 + 256 + 3) - 2,
       [&] { return Zarvo_TimeTable(1, (table++) % 2, day, 0); }},
  };
  for (const Case& c : cases) {
    int failures = 0;
    const Summary s = Measure(config.paced_runs, c.call, &failures);
    const double wire_ms = static_cast<double>(c.wire_bytes) * 10.0 / 9600.0 * 1000.0;
    std::printf("| %s | %.2f | %.2f | %.3f |\n", c.name, wire_ms, s.p50_us / 1000.0,
                s.p50_us / 1000.0 / wire_ms);
  }
  responder.set_paced_baud(0);
}

// The same paced exchanges and the probe's allocations with every frame
// going to a capture file.
void CaptureFigures(Responder& responder, const Config& config) {
  char path[] = "/tmp/zarvo-bench-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0) return;
  ::close(fd);
  if (Zarvo_LineCapture(Zarvo_DefaultLine(), path) != ZARVO_OK) return;
  std::printf("\nWith a capture file running:\n");
  PacedFigures(responder, config);
  Zarvo_SearchAR(1);
  StartCountingAllocations();
  for (int i = 0; i < 10; ++i) Zarvo_SearchAR(1);
  std::printf("\n| call, capture running | heap allocations per call (target 0) |\n|---|---|\n");
  std::printf("| Zarvo_SearchAR | %.1f |\n", static_cast<double>(StopCountingAllocations()) / 10.0);
  Zarvo_LineCapture(Zarvo_DefaultLine(), nullptr);
  ::unlink(path);
}

void CacheFigures(Responder& responder) {
  int32_t day[33] = {0};
  int32_t holiday[2] = {0};
  Zarvo_SearchAR(2);  // a neutral exchange; the caches are keyed by table
  uint64_t before = responder.requests();
  for (int d = 0; d < 7; ++d) {
    day[0] = d;
    Zarvo_TimeTable(2, 7, day, 0);
  }
  const uint64_t week = responder.requests() - before;
  before = responder.requests();
  for (int i = 0; i < 128; ++i) Zarvo_HolidayTable(2, i, holiday, 0);
  const uint64_t holidays = responder.requests() - before;
  std::printf("\n| cached walk | exchanges (target) |\n|---|---|\n");
  std::printf("| seven days of one week table | %llu (1) |\n",
              static_cast<unsigned long long>(week));
  std::printf("| 128 holidays | %llu (1) |\n", static_cast<unsigned long long>(holidays));
}

int Run(const Config& config) {
  Responder responder;
  if (!responder.Start()) {
    std::perror("zarvo-bench: pseudo-terminal");
    return 1;
  }
  if (Zarvo_OpenCom(responder.device_name().c_str(), 9600) != ZARVO_OK) {
    std::fprintf(stderr, "zarvo-bench: cannot open %s\n", responder.device_name().c_str());
    return 1;
  }
  RawLine raw_line(responder.device_name());
  int failures = 0;
  int32_t day[33] = {0};
  int32_t holiday[2] = {12, 25};
  int table = 0;
  int index = 0;
  const Pair probe = Interleaved(
      raw_line, config.round_trips, [] { return Zarvo_SearchAR(1); }, &failures);
  // Alternating tables, so every read goes to the line.
  const Pair week = Interleaved(
      raw_line, config.table_ops, [&] { return Zarvo_TimeTable(1, (table++) % 2, day, 0); },
      &failures);
  const Pair holidays = Interleaved(
      raw_line, config.table_ops,
      [&] { return Zarvo_HolidayTable(1, (index++) % 128, holiday, 1); }, &failures);

  std::printf(
      "| operation | min (us) | p50 (us) | p99 (us) | per second | CPU (us) | min/raw | CPU/raw "
      "|\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  PrintRow("raw round trip (12 + 14 B)", probe.raw, probe.raw);
  PrintRow("Zarvo_SearchAR", probe.library, probe.raw);
  PrintRow("Zarvo_TimeTable read", week.library, week.raw);
  PrintRow("Zarvo_HolidayTable write", holidays.library, holidays.raw);
  std::printf("\ntargets: probe min/raw <= 1.3, probe CPU/raw <= 1.4\n");

  SilenceFigures(config);
  AddressScanFigures(responder, config.last_scanned_address);
  AllocationFigures();
  PacedFigures(responder, config);
  CaptureFigures(responder, config);
  CacheFigures(responder);
  Zarvo_CloseCom();
  failures += TcpLatencyFigures(config.round_trips);
  failures += CreatedLineAllocationFigures();
  failures += ParallelLineFigures(config.parallel_exchanges);
  if (failures > 0) std::printf("\n%d calls failed\n", failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace zarvo::bench

int main(int argc, char** argv) {
  zarvo::bench::Config config;
  if (argc > 1 && std::strcmp(argv[1], "--quick") == 0) {
    config = {50, 20, 1, 3, 5, 10};
  } else if (argc > 1) {
    std::fprintf(stderr, "usage: zarvo-bench [--quick]\n");
    return 2;
  }
  return zarvo::bench::Run(config);
}
