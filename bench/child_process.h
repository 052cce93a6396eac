// A child process of the bench, driven through its standard input and
// output one line at a time, and measured from /proc: CPU time and memory.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zarvod::bench {

class ChildProcess {
 public:
  // Runs this program again with `args`.
  explicit ChildProcess(const std::vector<std::string>& args);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool running() const { return pid_ > 0; }
  // Sends one line and, when `reply` is given, reads one line back.
  bool Send(const std::string& line, std::string* reply = nullptr);
  // Reads one line; false when the child closed its output.
  bool ReadLine(std::string& line);
  // Closes the child's input (it then stops) and waits for it; its exit code.
  int Finish();

  // User plus system CPU time so far, in seconds.
  double CpuSeconds() const;
  // A "Vm..." field of /proc/<pid>/status, in kB (VmRSS, VmHWM).
  int64_t StatusKb(const std::string& field) const;

 private:
  pid_t pid_ = -1;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
};

}  // namespace zarvod::bench
