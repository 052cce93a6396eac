// zarvod status: the lines and controllers as the journal last saw them.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/local_time.h"
#include "cli/site_file.h"
#include "cli/site_modules.h"
#include "cli/text_table.h"
#include "clock_drift.h"
#include "journal/journal.h"
#include "journal/journal_lock.h"
#include "journal/journal_reader.h"

namespace zarvod {
namespace {

// Events looked at for a drift estimate, and the pause before an event that
// shows the log had been read to its end in between: polling reads a log
// with events left back to back, so a read this long after the one before
// followed a read that found the log empty.
constexpr int kDriftEvents = 32;
constexpr int64_t kQuietMs = 2000;

// The controller's clock against the host's, from its newest event that
// came after a quiet spell (see clocks/clock_drift.h).
std::string Drift(JournalReader& reader, const ControllerRow& c, long limit_s) {
  const std::vector<EventTiming> events = reader.RecentEvents(c, kDriftEvents);
  for (size_t i = 0; i + 1 < events.size(); ++i) {
    if (events[i].received_ms - events[i + 1].received_ms < kQuietMs) continue;
    const std::string& when = events[i].controller_time;
    const size_t blank = when.find(' ');
    clocks::ClockObservation seen;
    seen.event_date = when.substr(0, blank);
    seen.event_time = blank == std::string::npos ? "" : when.substr(blank + 1);
    seen.read_at = static_cast<std::time_t>(events[i].received_ms / 1000 + 1);
    seen.previous_read_at = static_cast<std::time_t>(events[i + 1].received_ms / 1000);
    const clocks::DriftEstimate d = clocks::EstimateDrift(seen, limit_s);
    if (!d.measurable) return "-";
    return d.drifted ? d.text + " DRIFTED" : d.text;
  }
  return "-";
}

std::string Ago(std::optional<int64_t> ms, int64_t now) {
  if (!ms) return "never";
  const int64_t s = (now - *ms) / 1000;
  if (s < 120) return std::to_string(s) + " s ago";
  if (s < 7200) return std::to_string(s / 60) + " min ago";
  return std::to_string(s / 3600) + " h ago";
}

// Whether a daemon has the journal now, and when one last ran on it.
std::string DaemonLine(const JournalOwner& owner) {
  if (!owner.known) return "unknown (this user may not read the journal's lock file)";
  if (owner.by_daemon) {
    return "running (pid " + std::to_string(owner.pid) + ", since " + LocalTime(owner.started_ms) +
           ")";
  }
  std::string text =
      owner.held ? "not running (a zarvod acl command has the journal)" : "not running";
  if (owner.started_ms == 0) return text + "; none has run on this journal";
  text += "; last ran from " + LocalTime(owner.started_ms);
  if (owner.stopped_ms > 0) return text + " to " + LocalTime(owner.stopped_ms);
  return text + " until it was killed";
}

// One "name":number pair after another, as the line worker saves them.
std::vector<std::pair<std::string, std::string>> CounterFields(const std::string& json) {
  std::vector<std::pair<std::string, std::string>> fields;
  size_t at = 0;
  while ((at = json.find('"', at)) != std::string::npos) {
    const size_t name_end = json.find('"', at + 1);
    const size_t value_end = json.find_first_of(",}", name_end);
    if (name_end == std::string::npos || value_end == std::string::npos) break;
    fields.emplace_back(json.substr(at + 1, name_end - at - 1),
                        json.substr(name_end + 2, value_end - name_end - 2));
    at = value_end;
  }
  return fields;
}

// The lines' counters, a counter per row and a line per column, a few lines
// to a table so that it stays narrow.
std::string CountersTables(const std::vector<LineCountersRow>& lines, int64_t now) {
  constexpr size_t kLinesPerTable = 6;
  std::string out;
  for (size_t first = 0; first < lines.size(); first += kLinesPerTable) {
    const size_t end = std::min(lines.size(), first + kLinesPerTable);
    std::vector<TextColumn> columns{{"LINE COUNTERS"}};
    std::vector<std::vector<std::pair<std::string, std::string>>> fields;
    for (size_t i = first; i < end; ++i) {
      columns.push_back({lines[i].line, true});
      fields.push_back(CounterFields(lines[i].counters));
    }
    TextTable table(columns);
    std::vector<std::string> saved{"saved"};
    for (size_t i = first; i < end; ++i) saved.push_back(Ago(lines[i].at_ms, now));
    for (size_t row = 0; row < fields.front().size(); ++row) {
      std::vector<std::string> cells{fields.front()[row].first};
      for (const auto& line : fields) cells.push_back(row < line.size() ? line[row].second : "");
      table.Add(cells);
    }
    table.Add(saved);
    out += "\n" + table.Render();
  }
  return out;
}

}  // namespace

int StatusCommand(const Args& args) {
  // The site file gives the drift limit and the journal's path; the zone the
  // controllers' times are in is the journal's own, else the site file's.
  std::optional<SiteConfig> config;
  if (!LoadViewSiteFile("status", args, config)) return 1;
  const long drift_limit_s = config ? config->clock.drift_limit_s : ClockConfig{}.drift_limit_s;
  const std::string path =
      FlagValue(args, "--journal", config ? config->journal.path : JournalConfig{}.path);
  std::string error;
  std::unique_ptr<JournalReader> reader = JournalReader::Open(path, error);
  if (!reader) {
    std::fprintf(stderr, "zarvod status: %s\n", error.c_str());
    return 1;
  }
  if (!UseJournalTimeZone("status", *reader, config)) return 1;
  // A read that failed part way is an error, not an empty journal.
  std::string read_error;
  const auto note_error = [&] {
    if (read_error.empty()) read_error = reader->last_error();
  };
  const int64_t now = NowMs();
  // The controllers' states are the running daemon's view; without one
  // nobody knows them.
  const JournalOwner owner = InspectJournalLock(path);
  std::printf("daemon: %s\n\n", DaemonLine(owner).c_str());
  const std::vector<ControllerRow> controllers = reader->Controllers();
  note_error();
  TextTable states({{"CONTROLLER"},
                    {"LINE"},
                    {"ADDR", true},
                    {"STATE"},
                    {"EVENTS", true},
                    {"GAPS", true},
                    {"LAST EVENT"},
                    {"LAST REPLY"}});
  TextTable clocks({{"CONTROLLER"}, {"VERSION"}, {"CLOCK AGAINST THE HOST'S"}});
  for (const ControllerRow& c : controllers) {
    const char* state = !c.online || !owner.by_daemon ? "unknown"
                        : *c.online                   ? "online"
                                                      : "offline";
    states.Add({c.name, c.line, std::to_string(c.address), state, std::to_string(c.events),
                std::to_string(c.gaps), c.last_event_time.empty() ? "-" : c.last_event_time,
                Ago(c.last_seen_ms, now)});
    clocks.Add({c.name, c.version.empty() ? "-" : c.version, Drift(*reader, c, drift_limit_s)});
    note_error();
  }
  std::printf("%s\n%s", states.Render().c_str(), clocks.Render().c_str());
  const std::vector<LineCountersRow> counters = reader->LineCounters();
  note_error();
  std::printf("%s", CountersTables(counters, now).c_str());
  const std::vector<GapRow> gaps = reader->Gaps(10);
  note_error();
  if (!gaps.empty()) std::printf("\nlatest gaps:\n");
  for (const GapRow& g : gaps) {
    const std::string lost = g.lost ? std::to_string(*g.lost) : "unknown";
    std::printf("  %s/%s after #%lld: %s, lost %s: %s (%s)\n", g.line.c_str(), g.controller.c_str(),
                static_cast<long long>(g.after_seq), g.kind.c_str(), lost.c_str(), g.detail.c_str(),
                Ago(g.detected_ms, now).c_str());
  }
  if (!read_error.empty()) {
    std::fprintf(stderr, "zarvod status: %s: %s\n", path.c_str(), read_error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace zarvod
