#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace zarvod::bench {

ChildProcess::ChildProcess(const std::vector<std::string>& args) {
  std::vector<std::string> owned = {"/proc/self/exe"};
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);
  int in[2], out[2];
  if (pipe(in) != 0) return;
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    close(in[1]);
    close(out[0]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_ = fdopen(in[1], "w");
  from_ = fdopen(out[0], "r");
}

ChildProcess::~ChildProcess() { Finish(); }

bool ChildProcess::Send(const std::string& line, std::string* reply) {
  if (to_ == nullptr) return false;
  if (std::fputs((line + "\n").c_str(), to_) < 0 || std::fflush(to_) != 0) return false;
  return reply == nullptr || ReadLine(*reply);
}

bool ChildProcess::ReadLine(std::string& line) {
  if (from_ == nullptr) return false;
  char buffer[256];
  if (std::fgets(buffer, sizeof buffer, from_) == nullptr) return false;
  line = buffer;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  return true;
}

int ChildProcess::Finish() {
  if (to_ != nullptr) std::fclose(to_);
  to_ = nullptr;
  int status = -1;
  if (pid_ > 0) waitpid(pid_, &status, 0);
  pid_ = -1;
  if (from_ != nullptr) std::fclose(from_);
  from_ = nullptr;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double ChildProcess::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text;
  std::getline(stat, text);
  // The command name may hold spaces; the fields counted from after it.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

int64_t ChildProcess::StatusKb(const std::string& field) const {
  std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stoll(line.substr(field.size() + 1));
  }
  return -1;
}

}  // namespace zarvod::bench
