#include "progress_bar.h"

#include <unistd.h>

#include <string>

namespace zarvod::control {

ProgressBar::ProgressBar(std::FILE* stream)
    : stream_(stream), terminal_(::isatty(::fileno(stream)) != 0) {}

void ProgressBar::Show(size_t done, size_t total, size_t failed) {
  if (!terminal_ || total == 0) return;
  constexpr size_t kWidth = 30;
  const size_t filled = done * kWidth / total;
  const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '-');
  std::fprintf(stream_, "\r[%s] %zu/%zu cards%s", bar.c_str(), done, total,
               failed == 0 ? "" : (", " + std::to_string(failed) + " not done").c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressBar::Finish() {
  if (!drawn_) return;
  std::fputc('\n', stream_);
  drawn_ = false;
}

}  // namespace zarvod::control
