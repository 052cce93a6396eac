#include "card_apply.h"

#include <mutex>
#include <stdexcept>

#include "card_io.h"
#include "log/result_text.h"

namespace zarvod::cards {
namespace {

struct ChangeResult {
  ChangeOutcome outcome = ChangeOutcome::kSkipped;
  int32_t result = 0;
};

// One change on the line's thread. A removal the controller refuses is done
// when the card is indeed not there (removed by an earlier, unjournaled run).
ChangeResult MakeChange(ZarvoLine* line, int32_t address, const CardChange& change) {
  if (change.kind != ChangeKind::kRemove) {
    const int32_t result = WriteCard(line, address, change.entry);
    return {OutcomeOf(result), result};
  }
  const int32_t result = DeleteCard(line, address, change.entry.key);
  if (result == ZARVO_E_REFUSED) {
    CardEntry ignored;
    if (ReadCard(line, address, change.entry.key, ignored) == ZARVO_E_REFUSED) {
      return {ChangeOutcome::kDone, result};
    }
  }
  return {OutcomeOf(result), result};
}

class ApplyRun {
 public:
  ApplyRun(LineRunner& lines, CardListStore& store, std::stop_token stop,
           const ProgressFn& progress, size_t total)
      : lines_(lines), store_(store), user_stop_(std::move(stop)), progress_fn_(progress) {
    progress_.total = total;
  }

  void Controller(int64_t run, const ControllerPlan& plan) {
    const ControllerRef& c = plan.controller;
    bool answering = true;
    for (size_t i = 0; i < plan.changes.size(); ++i) {
      const CardChange& change = plan.changes[i];
      if (Stopped()) return Skip(plan.changes.size() - i);
      if (!answering) {
        Skip(1);
        continue;
      }
      ChangeResult r;
      bool ran = false;
      const LineTask task{std::string(ChangeKindName(change.kind)) + " card " +
                              KeyText(change.entry.key) + " on " + c.name,
                          c.address, [&](ZarvoLine* line) {
                            ran = true;
                            r = MakeChange(line, c.address, change);
                            return r.result;
                          }};
      lines_.Run(c.line, task);
      if (!ran) {
        Problem(c.name + ": line " + c.line + " is not available");
        answering = false;
        Skip(1);
        continue;
      }
      try {
        store_.Record(run, c, change, r.outcome, r.result);
      } catch (const std::exception& e) {
        Problem(std::string("journal cannot be written, apply stopped: ") + e.what());
        journal_failed_.request_stop();
      }
      Count(c, change, r);
      if (r.outcome == ChangeOutcome::kUncertain && r.result == ZARVO_E_NO_REPLY) answering = false;
    }
  }

  ApplyReport Finish() {
    report_.interrupted = Stopped();
    return report_;
  }

 private:
  bool Stopped() const { return user_stop_.stop_requested() || journal_failed_.stop_requested(); }

  void Problem(const std::string& text) {
    std::lock_guard lock(mutex_);
    report_.problems.push_back(text);
  }

  void Skip(size_t n) {
    std::lock_guard lock(mutex_);
    report_.skipped += n;
    progress_.done += n;
    progress_.failed += n;
    if (progress_fn_) progress_fn_(progress_);
  }

  void Count(const ControllerRef& c, const CardChange& change, const ChangeResult& r) {
    std::lock_guard lock(mutex_);
    ++progress_.done;
    switch (r.outcome) {
      case ChangeOutcome::kDone: ++report_.done; break;
      case ChangeOutcome::kUncertain: ++report_.uncertain; break;
      default: ++report_.failed; break;
    }
    if (r.outcome != ChangeOutcome::kDone) {
      ++progress_.failed;
      report_.problems.push_back(c.name + ": " + ChangeKindName(change.kind) + " " +
                                 KeyText(change.entry.key) + " " + OutcomeName(r.outcome) + " (" +
                                 ResultText(r.result) + ")");
    }
    if (progress_fn_) progress_fn_(progress_);
  }

  LineRunner& lines_;
  CardListStore& store_;
  std::stop_token user_stop_;
  std::stop_source journal_failed_;
  const ProgressFn& progress_fn_;
  std::mutex mutex_;
  Progress progress_;
  ApplyReport report_;
};

}  // namespace

// A result of no reply, or of a reply that could not be taken for the
// controller's, leaves open whether the controller made the change.
ChangeOutcome OutcomeOf(int32_t result) {
  switch (result) {
    case ZARVO_OK: return ChangeOutcome::kDone;
    case ZARVO_E_REFUSED:
    case ZARVO_E_NOT_OPEN:
    case ZARVO_E_INVALID_ARG: return ChangeOutcome::kFailed;
    default: return ChangeOutcome::kUncertain;
  }
}

ApplyReport Apply(const CardPlan& plan, const std::string& source, LineRunner& lines,
                  CardListStore& store, std::stop_token stop, const ProgressFn& progress) {
  ApplyRun run(lines, store, std::move(stop), progress, plan.change_count());
  const int64_t id = store.BeginRun(source, static_cast<int64_t>(plan.change_count()));
  ForEachLineInParallel<ControllerPlan>(
      plan.controllers, [](const ControllerPlan& p) { return p.controller.line; },
      [&](const std::vector<const ControllerPlan*>& on_line) {
        for (const ControllerPlan* p : on_line) run.Controller(id, *p);
      });
  ApplyReport report = run.Finish();
  report.run = id;
  store.FinishRun(id, static_cast<int64_t>(report.done),
                  static_cast<int64_t>(report.failed + report.uncertain + report.skipped),
                  report.interrupted);
  return report;
}

std::string FormatApplyReport(const ApplyReport& r) {
  std::string out = std::to_string(r.done) + " done, " + std::to_string(r.uncertain) +
                    " unconfirmed, " + std::to_string(r.failed) + " failed, " +
                    std::to_string(r.skipped) + " skipped" +
                    (r.interrupted ? " (interrupted: run apply again to finish)" : "") + "\n";
  for (const std::string& p : r.problems) out += "  " + p + "\n";
  return out;
}

}  // namespace zarvod::cards
