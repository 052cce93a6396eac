#include "stats.h"

#include <time.h>

#include <algorithm>
#include <numeric>

namespace zarvo::bench {
namespace {

double ToUs(const timespec& t) { return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3; }

}  // namespace

double NowUs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return ToUs(t);
}

double ThreadCpuUs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return ToUs(t);
}

Summary Samples::Summarize(double cpu_us_total) const {
  Summary s;
  if (us_.empty()) return s;
  std::vector<double> sorted = us_;
  std::sort(sorted.begin(), sorted.end());
  auto at = [&](double q) { return sorted[static_cast<size_t>(q * static_cast<double>(sorted.size() - 1))]; };
  s.min_us = sorted.front();
  s.p50_us = at(0.50);
  s.p99_us = at(0.99);
  const double total = std::accumulate(sorted.begin(), sorted.end(), 0.0);
  s.per_second = total > 0 ? 1e6 * static_cast<double>(sorted.size()) / total : 0;
  s.cpu_us = cpu_us_total / static_cast<double>(sorted.size());
  return s;
}

}  // namespace zarvo::bench
