#include "site/line_worker.h"

#include <sys/stat.h>

#include <algorithm>
#include <sstream>

#include "log/log.h"

namespace zarvod {
namespace {

constexpr int kEventsPerTurn = 32;
constexpr std::chrono::milliseconds kJournalRetry{5000};
constexpr std::chrono::seconds kCountersEvery{10};
constexpr std::chrono::milliseconds kReplyNotedEvery{1000};
// Turns in a row without a reply from any controller of the line before the
// port is closed and opened again: a device that failed in a way its path
// does not show.
constexpr int kReopenAfterFailedTurns = 8;

std::optional<std::pair<uint64_t, uint64_t>> DeviceIdentity(const std::string& port) {
  struct stat st {};
  if (stat(port.c_str(), &st) != 0) return std::nullopt;
  return std::make_pair(static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino));
}

std::string CountersText(const ZarvoLineStats& s, uint32_t reopens) {
  std::ostringstream out;
  out << "{\"exchanges\":" << s.exchanges << ",\"successes\":" << s.successes
      << ",\"refusals\":" << s.refusals << ",\"no_reply\":" << s.noReply
      << ",\"no_start_byte\":" << s.noStartByte << ",\"mismatches\":" << s.mismatches
      << ",\"silences\":" << s.silences << ",\"links_lost\":" << s.linksLost
      << ",\"noise_bytes\":" << s.noiseBytes << ",\"reconnects\":" << s.reconnects
      << ",\"reopens\":" << reopens << "}";
  return out.str();
}

}  // namespace

LineWorker::LineWorker(std::string site, LineConfig config, Journal& journal, int poll_interval_ms)
    : site_(std::move(site)),
      config_(std::move(config)),
      journal_(journal),
      poll_interval_(poll_interval_ms) {}

LineWorker::~LineWorker() {
  RequestStop();
  Join();
}

void LineWorker::Start() {
  thread_ = std::thread([this] { Run(); });
}

void LineWorker::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    yield_ = true;
  }
  wake_.notify_all();
}

void LineWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

std::future<int32_t> LineWorker::Submit(LineCommand command) {
  std::promise<int32_t> promise;
  std::future<int32_t> result = promise.get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_) {
      promise.set_value(kCommandNotRun);
      return result;
    }
    queue_.push_back(Queued{std::move(command), std::move(promise)});
    yield_ = true;
  }
  wake_.notify_all();
  return result;
}

bool LineWorker::OpenLine() {
  line_ = Zarvo_LineCreate();
  return line_ && OpenPort();
}

bool LineWorker::OpenPort() {
  std::chrono::milliseconds backoff = open_backoff_.first;
  // A port that stays unopenable (a wrong device name, an adapter not yet
  // plugged in) is named once per reason, not at every try: the log would
  // otherwise drown in the same line.
  std::string reported_why;
  while (!stop_) {
    heartbeat_.Begin("opening " + config_.port);
    port_identity_ = DeviceIdentity(config_.port);
    if (Zarvo_LineOpenCom(line_, config_.port.c_str(), config_.baud) == ZARVO_OK) {
      LogInfo("line " + config_.name + ": open on " + config_.port);
      failed_turns_ = 0;
      return true;
    }
    ++failed_opens_;
    char why[128] = {};
    Zarvo_LineOpenError(line_, why, sizeof why);
    if (why != reported_why) {
      reported_why = why;
      // The library's reason names the port first.
      const std::string reason = why;
      const std::string named =
          reason.rfind(config_.port + ": ", 0) == 0 ? reason : config_.port + ": " + reason;
      LogError("line " + config_.name + ": cannot open " + named +
               "; trying again quietly until it opens or fails otherwise");
    }
    // A command cannot wait for a port that may never open: its caller (a
    // clock setting, a remote door-open) would hang, and so would stopping.
    const Clock::time_point retry_at = Clock::now() + backoff;
    while (!stop_ && Clock::now() < retry_at) {
      FailQueuedCommands();
      WaitUntil(retry_at);
    }
    backoff = std::min(backoff * 2, open_backoff_.longest);
  }
  return false;
}

bool LineWorker::PortReplaced() const {
  return port_identity_ && DeviceIdentity(config_.port) != port_identity_;
}

bool LineWorker::ReopenPort(const std::string& why) {
  LogWarning("line " + config_.name + ": " + why + "; closing " + config_.port +
             " and opening it again");
  Zarvo_LineCloseCom(line_);
  ++reopens_;
  if (!OpenPort()) return false;
  // The controllers answer again, or are found offline at once.
  for (Polled& p : controllers_) p.due = Clock::now();
  return true;
}

bool LineWorker::Attach(Polled& p) {
  const std::optional<int64_t> id =
      journal_.Controller({site_, config_.name, p.config.address, p.config.name});
  if (!id) {
    LogError("line " + config_.name + "/" + p.config.name + ": journal: " + journal_.last_error() +
             "; trying again");
    return false;
  }
  p.id = *id;
  p.collector = std::make_unique<Collector>(journal_, *id, line_, p.config.address,
                                            config_.name + "/" + p.config.name);
  p.collector->ReportBlockReadsTo(&reading_block_);
  return true;
}

void LineWorker::Run() {
  if (OpenLine()) {
    heartbeat_.Begin("finding its controllers in the journal");
    for (const ControllerConfig& c : config_.controllers) {
      Polled p;
      p.config = c;
      controllers_.push_back(std::move(p));
    }
    counters_due_ = Clock::now() + kCountersEvery;
    while (!stop_) {
      RunQueuedCommands();
      if (Clock::now() >= counters_due_) SaveCounters();
      Polled* due = NextDue();
      if (due && due->due <= Clock::now()) {
        PollTurn(*due);
      } else {
        WaitUntil(std::min(due ? due->due : Clock::now() + poll_interval_, counters_due_));
      }
    }
    SaveCounters();
  }
  FailQueuedCommands();
  Zarvo_LineDestroy(line_);
  line_ = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  stopped_cv_.notify_all();
}

void LineWorker::FailQueuedCommands() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (Queued& q : queue_) q.result.set_value(kCommandNotRun);
  queue_.clear();
}

bool LineWorker::StoppedBy(Clock::time_point deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  return stopped_cv_.wait_until(lock, deadline, [this] { return stopped_ || !thread_.joinable(); });
}

void LineWorker::RunQueuedCommands() {
  for (;;) {
    Queued q;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty() || stop_) {
        yield_ = stop_.load();
        return;
      }
      q = std::move(queue_.front());
      queue_.pop_front();
    }
    heartbeat_.Begin("a command from " + q.command.who + ": " + q.command.what);
    const int32_t result = q.command.run(line_);
    if (!journal_.RecordCommand(
            {q.command.who, site_, config_.name, q.command.address, q.command.what, result})) {
      LogError("journal: " + journal_.last_error());
    }
    q.result.set_value(result);
  }
}

LineWorker::Polled* LineWorker::NextDue() {
  Polled* next = nullptr;
  for (Polled& p : controllers_) {
    if (!next || p.due < next->due) next = &p;
  }
  return next;
}

void LineWorker::WaitUntil(Clock::time_point when) {
  heartbeat_.Wait();
  std::unique_lock<std::mutex> lock(mutex_);
  wake_.wait_until(lock, when, [this] { return stop_ || !queue_.empty(); });
}

void LineWorker::PollTurn(Polled& p) {
  heartbeat_.Begin("collecting from " + p.config.name);
  // A controller the journal could not look up is not polled until it can:
  // its events would have nowhere to go.
  if (!p.collector && !Attach(p)) {
    p.backoff = p.backoff.count() == 0 ? kFirstBackoff : std::min(p.backoff * 2, kLongestBackoff);
    p.due = Clock::now() + p.backoff;
    return;
  }
  const TurnResult result = p.collector->Turn(kEventsPerTurn, yield_);
  if (result == TurnResult::kIdle || result == TurnResult::kMore) failed_turns_ = 0;
  switch (result) {
    case TurnResult::kIdle:
      MarkOnline(p);
      p.due = Clock::now() + poll_interval_;
      break;
    case TurnResult::kMore:
      MarkOnline(p);
      p.due = Clock::now();
      break;
    case TurnResult::kNoReply:
      MarkOffline(p);
      if (PortReplaced()) {
        ReopenPort("the port's device is gone or was replaced");
      } else if (++failed_turns_ >= kReopenAfterFailedTurns) {
        ReopenPort("no controller answered " + std::to_string(failed_turns_) + " turns in a row");
      }
      break;
    case TurnResult::kJournalFailed:
      // The controller keeps its events; try again later.
      p.due = Clock::now() + kJournalRetry;
      break;
  }
}

// The last reply's time is journaled at the poll interval, so that status
// shows it that true: the line's replies since the last note in one
// transaction, at most once a second, as each commit is a write to the disk.
void LineWorker::NoteReply(int64_t controller) {
  if (std::find(replied_.begin(), replied_.end(), controller) == replied_.end()) {
    replied_.push_back(controller);
  }
  if (Clock::now() - replies_noted_ < std::max(poll_interval_, kReplyNotedEvery)) return;
  replies_noted_ = Clock::now();
  if (!journal_.Touch(replied_)) LogError("journal: " + journal_.last_error());
  replied_.clear();
}

void LineWorker::MarkOnline(Polled& p) {
  p.backoff = std::chrono::milliseconds{0};
  if (p.online == 1) {
    NoteReply(p.id);
    return;
  }
  p.online = 1;
  char version[33] = {};
  Zarvo_LineVer(line_, p.config.address, version);
  LogInfo(config_.name + "/" + p.config.name + ": online (" + version + ")");
  if (!journal_.RecordStatus(p.id, true, version, "answers")) {
    LogError("journal: " + journal_.last_error());
  }
}

// A controller that does not answer is tried again after a backoff that
// doubles up to kLongestBackoff, so it costs the others on its line one
// time-out per backoff period at most.
void LineWorker::MarkOffline(Polled& p) {
  p.backoff = p.backoff.count() == 0 ? kFirstBackoff : std::min(p.backoff * 2, kLongestBackoff);
  p.due = Clock::now() + p.backoff;
  if (p.online == 0) return;
  p.online = 0;
  LogWarning(config_.name + "/" + p.config.name + ": offline (no reply)");
  if (!journal_.RecordStatus(p.id, false, "", "no reply")) {
    LogError("journal: " + journal_.last_error());
  }
}

void LineWorker::SaveCounters() {
  heartbeat_.Begin("saving the line's counters");
  counters_due_ = Clock::now() + kCountersEvery;
  ZarvoLineStats stats{};
  if (Zarvo_LineStats(line_, &stats, 0) != ZARVO_OK) return;
  if (!journal_.SaveLineCounters(site_, config_.name, CountersText(stats, reopens_))) {
    LogError("journal: " + journal_.last_error());
  }
}

}  // namespace zarvod
