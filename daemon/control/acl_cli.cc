#include "acl_cli.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "acl_service.h"
#include "control_client.h"
#include "progress_bar.h"
#include "sqlite_card_list_store.h"

namespace zarvod::control {
namespace {

constexpr const char* kUsage = "usage: zarvod acl diff FILE | acl apply FILE | acl verify\n";

// Turns SIGINT and SIGTERM into a stop request while a standalone command
// runs: the change in flight finishes and is journaled, the rest is left
// for the next apply.
class StopOnSignal {
 public:
  StopOnSignal() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, &old_mask_);
    watcher_ = std::thread([this] {
      int signal = 0;
      sigwait(&signals_, &signal);
      if (!finished_) stop_.request_stop();
    });
  }
  ~StopOnSignal() {
    finished_ = true;
    pthread_kill(watcher_.native_handle(), SIGTERM);  // ends the wait
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
  }
  std::stop_token token() const { return stop_.get_token(); }

 private:
  sigset_t signals_{};
  sigset_t old_mask_{};
  std::stop_source stop_;
  std::atomic<bool> finished_{false};
  std::thread watcher_;
};

struct AclArgs {
  std::string command;  // diff, apply, verify
  std::string file;
  std::string text;
};

bool ParseArgs(const std::vector<std::string>& args, AclArgs& out) {
  if (args.empty()) return false;
  out.command = args[0];
  if (out.command == "verify") return args.size() == 1;
  if (out.command != "diff" && out.command != "apply") return false;
  if (args.size() != 2) return false;
  out.file = args[1];
  return true;
}

// "" once `text` holds the file, else why it cannot be read. A folder opens
// like a file and reads as empty: it would pass for a card list without rows.
std::string ReadFile(const std::string& path, std::string& text) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) return "is a directory, not a card list";
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string("cannot be read: ") + std::strerror(errno);
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return "";
}

int Report(const AclArgs& args, bool ok, size_t count, const std::string& output) {
  (ok ? std::cout : std::cerr) << output;
  if (!ok) return 1;
  return args.command == "verify" && count > 0 ? 1 : 0;
}

int RunStandalone(const AclArgs& args, const AclCliEnvironment& environment) {
  std::string error;
  std::unique_ptr<StandaloneSite> site =
      environment.open_site ? environment.open_site(error) : nullptr;
  if (site == nullptr) {
    std::cerr << "zarvod acl: " << (error.empty() ? "the site cannot be opened" : error) << "\n";
    return 1;
  }
  cards::SqliteCardListStore store(site->journal);
  cards::DirectLineRunner lines;
  if (args.command != "diff") {
    // The file is checked before any line is opened.
    if (args.command == "apply") {
      AclService check(site->layout, lines, store);
      const AclOutcome diff = check.Diff(args.file, args.text);
      if (!diff.ok) return Report(args, false, 0, diff.output);
    }
    error = lines.Open(site->ports);
    if (!error.empty()) {
      std::cerr << "zarvod acl: " << error << "\n";
      return 1;
    }
  }
  AclService service(site->layout, lines, store);
  ProgressBar bar(stderr);
  const cards::ProgressFn progress = [&bar](const cards::Progress& p) {
    bar.Show(p.done, p.total, p.failed);
  };
  AclOutcome outcome;
  {
    StopOnSignal stop;
    if (args.command == "diff") outcome = service.Diff(args.file, args.text);
    if (args.command == "apply")
      outcome = service.Apply(args.file, args.text, stop.token(), progress);
    if (args.command == "verify") outcome = service.Verify(stop.token(), progress);
  }
  bar.Finish();
  return Report(args, outcome.ok, outcome.count, outcome.output);
}

}  // namespace

int RunAclCli(const std::vector<std::string>& words, const AclCliEnvironment& environment) {
  AclArgs args;
  if (!ParseArgs(words, args)) {
    std::cerr << kUsage;
    return 2;
  }
  if (!args.file.empty()) {
    if (const std::string why = ReadFile(args.file, args.text); !why.empty()) {
      std::cerr << args.file << ": " << why << "\n";
      return 1;
    }
  }
  std::string holder;
  if (environment.journal_holder) {
    holder = environment.journal_holder();
    if (holder.empty()) return RunStandalone(args, environment);
  }
  JsonObject request;
  request.Set("command", "acl." + args.command);
  if (!environment.site.empty()) request.Set("site", environment.site);
  if (!args.file.empty()) request.Set("file", args.file).Set("text", args.text);

  ProgressBar bar(stderr);
  ParsedRequest reply;
  std::string error;
  const ClientStatus status = AskDaemon(
      environment.socket_path, request,
      [&bar](const ParsedRequest& line) {
        auto number = [&line](const char* key) {
          const auto it = line.fields.find(key);
          const double* value =
              it == line.fields.end() ? nullptr : std::get_if<double>(&it->second.value);
          return value == nullptr ? size_t{0} : static_cast<size_t>(*value);
        };
        bar.Show(number("done"), number("total"), number("failed"));
      },
      reply, error);
  bar.Finish();
  if (status == ClientStatus::kNoDaemon && holder.empty()) return RunStandalone(args, environment);
  if (status == ClientStatus::kNoDaemon) {
    // The lines are the holder's: never opened behind its back.
    std::cerr << "zarvod acl: the journal is in use by " << holder
              << ", but nothing answers on the control socket " << environment.socket_path
              << " (give the daemon's --socket)\n";
    return 1;
  }
  if (status == ClientStatus::kFailed) {
    std::cerr << "zarvod acl: " << error << "\n";
    return 1;
  }
  const auto ok = reply.fields.find("ok");
  const bool succeeded = ok != reply.fields.end() && ok->second.value == JsonValue(true);
  const auto count = reply.fields.find("count");
  const double* n =
      count == reply.fields.end() ? nullptr : std::get_if<double>(&count->second.value);
  const std::string output = reply.Text("output").value_or(reply.Text("error").value_or("") + "\n");
  return Report(args, succeeded, n == nullptr ? 0 : static_cast<size_t>(*n), output);
}

}  // namespace zarvod::control
