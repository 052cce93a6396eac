#include "direct_line_runner.h"

#include "log/result_text.h"

namespace zarvod::cards {

DirectLineRunner::~DirectLineRunner() {
  for (auto& [name, line] : lines_) Zarvo_LineDestroy(line->handle);
}

std::string DirectLineRunner::Open(const std::vector<LinePort>& lines) {
  for (const LinePort& port : lines) {
    auto line = std::make_unique<Line>();
    line->handle = Zarvo_LineCreate();
    if (line->handle == nullptr) return "line " + port.name + ": out of memory";
    const int32_t result = Zarvo_LineOpenCom(line->handle, port.port.c_str(), port.baud);
    if (result != ZARVO_OK) {
      char why[128] = "";
      Zarvo_LineOpenError(line->handle, why, sizeof why);
      Zarvo_LineDestroy(line->handle);
      // The library's reason names the port first.
      const std::string reason = why;
      const std::string named =
          reason.rfind(port.port + ": ", 0) == 0 ? reason : port.port + ": " + reason;
      return "line " + port.name + ": cannot open " + named + " (" + ResultText(result) + ")";
    }
    lines_[port.name] = std::move(line);
  }
  return "";
}

int32_t DirectLineRunner::Run(const std::string& line, const LineTask& task) {
  const auto it = lines_.find(line);
  if (it == lines_.end()) return ZARVO_E_NOT_OPEN;
  std::lock_guard lock(it->second->mutex);
  return task.run(it->second->handle);
}

}  // namespace zarvod::cards
