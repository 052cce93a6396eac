// A one-line progress bar on a terminal; silent when the stream is not one,
// so that logs and pipes get only the final report.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zarvod::control {

class ProgressBar {
 public:
  explicit ProgressBar(std::FILE* stream);
  ~ProgressBar() { Finish(); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Show(size_t done, size_t total, size_t failed);
  // Ends the bar's line, if one was drawn.
  void Finish();

 private:
  std::FILE* stream_;
  bool terminal_;
  bool drawn_ = false;
};

}  // namespace zarvod::control
