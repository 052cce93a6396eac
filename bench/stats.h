// Latency samples and their summary figures.
#pragma once

#include <cstdint>
#include <vector>

namespace zarvo::bench {

struct Summary {
  double min_us = 0;
  double p50_us = 0;
  double p99_us = 0;
  double per_second = 0;
  double cpu_us = 0;  // CPU of the calling thread per operation
};

class Samples {
 public:
  void Add(double us) { us_.push_back(us); }
  Summary Summarize(double cpu_us_total) const;

 private:
  std::vector<double> us_;
};

double NowUs();
double ThreadCpuUs();

}  // namespace zarvo::bench
