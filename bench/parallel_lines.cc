#include "parallel_lines.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <latch>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "alloc_counter.h"
#include "responder.h"
#include "stats.h"
#include "zarvoac.h"

namespace zarvo::bench {
namespace {

constexpr uint32_t kPacedBaud = 9600;

// A created line on a responder of its own.
struct BenchLine {
  Responder responder;
  ZarvoLine* line = Zarvo_LineCreate();

  BenchLine() = default;
  BenchLine(const BenchLine&) = delete;
  BenchLine& operator=(const BenchLine&) = delete;
  ~BenchLine() { Zarvo_LineDestroy(line); }

  bool Open() {
    return line != nullptr && responder.Start() &&
           Zarvo_LineOpenCom(line, responder.device_name().c_str(), 9600) == ZARVO_OK;
  }
};

struct Run {
  double seconds = 0;
  int failures = 0;
};

// Every line probes `exchanges` times from a thread of its own; the wall
// time runs from releasing the threads, all started, to the last one's end.
Run DriveLines(int count, int exchanges) {
  std::vector<std::unique_ptr<BenchLine>> lines;
  Run run;
  for (int i = 0; i < count; ++i) {
    lines.push_back(std::make_unique<BenchLine>());
    if (!lines.back()->Open()) {
      std::fprintf(stderr, "zarvo-bench: cannot open line %d\n", i);
      run.failures = count * exchanges;
      return run;
    }
    lines.back()->responder.set_paced_baud(kPacedBaud);
  }
  std::vector<int> failures(lines.size(), 0);
  std::vector<std::thread> threads;
  std::latch start(1);
  for (size_t i = 0; i < lines.size(); ++i) {
    threads.emplace_back([&, i] {
      start.wait();
      for (int e = 0; e < exchanges; ++e) {
        if (Zarvo_LineSearchAR(lines[i]->line, 1) != ZARVO_OK) ++failures[i];
      }
    });
  }
  const double t0 = NowUs();
  start.count_down();
  for (std::thread& t : threads) t.join();
  run.seconds = (NowUs() - t0) / 1e6;
  for (int f : failures) run.failures += f;
  return run;
}

}  // namespace

int ParallelLineFigures(int exchanges_per_line) {
  std::printf(
      "\n| lines in parallel (probe, %u bit/s) | exchanges per line | wall time (s) | "
      "exchanges per second | / (N x one line) (target >= 0.95) |\n",
      kPacedBaud);
  std::printf("|---|---|---|---|---|\n");
  int failures = 0;
  double one_line_rate = 0;
  for (int count : {1, 2, 4, 8}) {
    const Run run = DriveLines(count, exchanges_per_line);
    failures += run.failures;
    const double rate = count * exchanges_per_line / run.seconds;
    if (count == 1) one_line_rate = rate;
    std::printf("| %d | %d | %.3f | %.1f | %.3f |\n", count, exchanges_per_line, run.seconds, rate,
                rate / (count * one_line_rate));
  }
  return failures;
}

int CreatedLineAllocationFigures() {
  BenchLine created;
  if (!created.Open()) return 1;
  ZarvoLine* line = created.line;
  int32_t day[33] = {3};
  int32_t holiday[2] = {1, 1};
  CardRecord card{};
  std::strcpy(card.cardNumber, "123");
  uint32_t ticks = 0;
  const std::pair<const char*, std::function<int32_t()>> calls[] = {
      {"Zarvo_LineSearchAR", [&] { return Zarvo_LineSearchAR(line, 1); }},
      {"Zarvo_LineTimeTable (read)", [&] { return Zarvo_LineTimeTable(line, 1, 1, day, 0); }},
      {"Zarvo_LineHolidayTable (write)",
       [&] { return Zarvo_LineHolidayTable(line, 1, 5, holiday, 1); }},
      {"Zarvo_LineRegistry (write)",
       [&] { return Zarvo_LineRegistry(line, 1, &card, &ticks, 1, 0); }},
      {"Zarvo_LineSearchAR (no reply)",
       [&] { return Zarvo_LineSearchAR(line, Responder::kSilentAddress); }},
  };
  std::printf("\n| call on a created line | heap allocations per call (target 0) |\n|---|---|\n");
  int failures = 0;
  for (const auto& [name, call] : calls) {
    call();  // first use may set up process-wide state
    StartCountingAllocations();
    for (int i = 0; i < 10; ++i) {
      if (call() < 0 && std::strstr(name, "no reply") == nullptr) ++failures;
    }
    std::printf("| %s | %.1f |\n", name, static_cast<double>(StopCountingAllocations()) / 10.0);
  }
  return failures;
}

}  // namespace zarvo::bench
