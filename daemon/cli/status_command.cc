// zarvod status: the lines and controllers as the journal last saw them.
#include <cstdio>
#include <ctime>

#include "cli/commands.h"
#include "journal/journal.h"
#include "journal/journal_reader.h"

namespace zarvod {
namespace {

std::string Ago(std::optional<int64_t> ms, int64_t now) {
  if (!ms) return "never";
  const int64_t s = (now - *ms) / 1000;
  if (s < 120) return std::to_string(s) + " s ago";
  if (s < 7200) return std::to_string(s / 60) + " min ago";
  return std::to_string(s / 3600) + " h ago";
}

}  // namespace

int StatusCommand(const Args& args) {
  const std::string path = FlagValue(args, "--journal", "./zarvod.db");
  std::string error;
  std::unique_ptr<JournalReader> reader = JournalReader::Open(path, error);
  if (!reader) {
    std::fprintf(stderr, "zarvod status: %s\n", error.c_str());
    return 1;
  }
  const int64_t now = NowMs();
  std::printf("%-12s %-16s %4s  %-8s %-22s %8s  %-19s %-14s %5s %s\n", "LINE", "CONTROLLER", "ADDR",
              "STATE", "VERSION", "EVENTS", "LAST EVENT", "LAST REPLY", "GAPS", "DRIFT");
  for (const ControllerRow& c : reader->Controllers()) {
    const char* state = !c.online ? "unknown" : *c.online ? "online" : "offline";
    const std::string drift = c.clock_drift_s ? std::to_string(*c.clock_drift_s) + " s" : "-";
    std::printf("%-12s %-16s %4d  %-8s %-22s %8lld  %-19s %-14s %5lld %s\n", c.line.c_str(),
                c.name.c_str(), c.address, state, c.version.c_str(),
                static_cast<long long>(c.events),
                c.last_event_time.empty() ? "-" : c.last_event_time.c_str(),
                Ago(c.last_seen_ms, now).c_str(), static_cast<long long>(c.gaps), drift.c_str());
  }
  const std::vector<LineCountersRow> counters = reader->LineCounters();
  if (!counters.empty()) std::printf("\nline counters:\n");
  for (const LineCountersRow& l : counters) {
    std::printf("  %-12s %s (%s)\n", l.line.c_str(), l.counters.c_str(), Ago(l.at_ms, now).c_str());
  }
  const std::vector<GapRow> gaps = reader->Gaps(10);
  if (!gaps.empty()) std::printf("\nlatest gaps:\n");
  for (const GapRow& g : gaps) {
    const std::string lost = g.lost ? std::to_string(*g.lost) : "unknown";
    std::printf("  %s/%s after #%lld: %s, lost %s: %s (%s)\n", g.line.c_str(), g.controller.c_str(),
                static_cast<long long>(g.after_seq), g.kind.c_str(), lost.c_str(), g.detail.c_str(),
                Ago(g.detected_ms, now).c_str());
  }
  return 0;
}

}  // namespace zarvod
