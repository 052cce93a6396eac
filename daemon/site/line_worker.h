// The running site: one worker thread per line, its scheduler and its
// command queue.
//
// Concurrency, the whole story: a line is driven only by its own worker
// thread, which alone holds the line's ZarvoLine* from open to destroy. The
// worker alternates between running queued commands and polling turns; a
// command submitted from any thread (the control socket, the clock keeper,
// card-list changes) waits in the queue, runs on the worker thread with the
// line's ZarvoLine*, ahead of the next polling turn (a turn in progress
// yields between two events), and its result comes back through a
// std::future the submitter waits on. Nothing else ever calls the line
// API on a line the site owns. The journal is shared by all workers and
// serialises its callers with a mutex of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "collect/collector.h"
#include "config/site_config.h"
#include "journal/journal.h"
#include "site/heartbeat.h"
#include "zarvoac.h"

namespace zarvod {

struct LineCommand {
  std::string who;   // who asked: "control", "clocks", "cards", ...
  std::string what;  // for the audit trail: "open door 1 of Front"
  int address = 0;   // the controller addressed, 0 for none
  // Runs on the line's worker thread; returns a library result code.
  std::function<int32_t(ZarvoLine*)> run;
};

// What a command's submitter gets back when the line stops before the
// command ran, or when its port cannot be opened.
inline constexpr int32_t kCommandNotRun = ZARVO_E_NOT_OPEN;

class LineWorker {
 public:
  using Clock = std::chrono::steady_clock;

  LineWorker(std::string site, LineConfig config, Journal& journal, int poll_interval_ms);
  ~LineWorker();
  LineWorker(const LineWorker&) = delete;
  LineWorker& operator=(const LineWorker&) = delete;

  void Start();
  // Finishes the exchange in progress and the commit after it, then stops.
  void RequestStop();
  void Join();
  // After RequestStop: true once the worker has stopped, false at `deadline`.
  bool StoppedBy(std::chrono::steady_clock::time_point deadline);
  // A block read is on the line (it may take seconds at a low speed).
  bool reading_block() const { return reading_block_; }

  // Queues `command` ahead of polling. The future holds its result, or
  // kCommandNotRun when the worker stopped first or the port is not open
  // (a failed open is retried with backoff). Every command run is
  // written to the journal's audit trail.
  std::future<int32_t> Submit(LineCommand command);

  const LineConfig& config() const { return config_; }

  // The wait after a failed open or a controller's failed turn, doubling
  // from the first to the longest.
  static constexpr std::chrono::milliseconds kFirstBackoff{1000};
  static constexpr std::chrono::milliseconds kLongestBackoff{30000};
  // The waits between tries to open the port. Set before Start(); tests
  // shorten them.
  struct OpenBackoff {
    std::chrono::milliseconds first = kFirstBackoff;
    std::chrono::milliseconds longest = kLongestBackoff;
  };
  void set_open_backoff(OpenBackoff backoff) { open_backoff_ = backoff; }
  // Opens of the port that failed since Start().
  uint32_t failed_opens() const { return failed_opens_; }
  // What the worker is doing and since when, for the service watchdog.
  const Heartbeat& heartbeat() const { return heartbeat_; }

 private:
  struct Polled {
    ControllerConfig config;
    int64_t id = 0;
    std::unique_ptr<Collector> collector;
    int online = -1;  // -1 not yet known
    Clock::time_point due{};
    std::chrono::milliseconds backoff{0};
  };
  struct Queued {
    LineCommand command;
    std::promise<int32_t> result;
  };

  void Run();
  bool OpenLine();
  // Opens the port on line_, trying again with backoff until it opens or
  // the worker stops.
  bool OpenPort();
  // The port's device was replaced or removed since it was opened (a USB
  // adapter unplugged and plugged back).
  bool PortReplaced() const;
  // Closes and opens the port again; false when the worker stopped first.
  bool ReopenPort(const std::string& why);
  // Finds (or adds) the controller in the journal and makes its collector.
  bool Attach(Polled& controller);
  void RunQueuedCommands();
  void FailQueuedCommands();
  void PollTurn(Polled& controller);
  void MarkOnline(Polled& controller);
  void NoteReply(int64_t controller);
  void MarkOffline(Polled& controller);
  void SaveCounters();
  Polled* NextDue();
  void WaitUntil(Clock::time_point when);

  const std::string site_;
  const LineConfig config_;
  Journal& journal_;
  const std::chrono::milliseconds poll_interval_;
  ZarvoLine* line_ = nullptr;
  std::vector<Polled> controllers_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Queued> queue_;
  std::atomic<bool> stop_{false};
  // Set while commands wait or a stop is asked: a polling turn yields.
  std::atomic<bool> yield_{false};
  std::atomic<bool> reading_block_{false};
  bool stopped_ = false;  // under mutex_
  std::condition_variable stopped_cv_;
  Clock::time_point counters_due_{};
  std::vector<int64_t> replied_;  // answered since the last note in the journal
  Clock::time_point replies_noted_{};
  Heartbeat heartbeat_;
  // The device the port named when it opened (device and inode), when the
  // port is a file.
  std::optional<std::pair<uint64_t, uint64_t>> port_identity_;
  int failed_turns_ = 0;  // in a row, on any controller of the line
  OpenBackoff open_backoff_;
  std::atomic<uint32_t> failed_opens_{0};
  uint32_t reopens_ = 0;
};

}  // namespace zarvod
