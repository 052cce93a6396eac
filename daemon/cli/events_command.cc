// zarvod events: prints journaled events as text, JSON lines or CSV;
// --follow goes on printing as the daemon journals more.
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "cli/commands.h"
#include "cli/event_kind_fields.h"
#include "cli/local_time.h"
#include "cli/site_file.h"
#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "json_line.h"
#include "shared/option_parser.h"

namespace zarvod {
namespace {

enum class Format { kText, kJson, kCsv };

// The fields of an event, named as in the MQTT event payload; `id` here is
// the journal's event id, the one --follow goes by.
constexpr const char* kCsvHeader =
    "id,site,line,controller,address,sequence,time,received,value1,value2,number1,number2,raw";
constexpr const char* kTextRow = "%-19s  %-19s  %-8s  %-16s  %8s  %6s  %6s  %-8s  %-8s  %s\n";

// As the MQTT payload gives it: "2026-12-08T05:28:26.456Z".
std::string UtcTime(int64_t ms) {
  const time_t seconds = static_cast<time_t>(ms / 1000);
  tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char millis[8];
  std::snprintf(millis, sizeof millis, ".%03dZ", static_cast<int>(ms % 1000));
  return std::string(text) + millis;
}

// The controller's clock, which keeps the site's local time, as the MQTT
// payload gives it: "2026-12-08T05:28:26".
std::string ControllerTime(std::string text) {
  if (text.size() > 10 && text[10] == ' ') text[10] = 'T';
  return text;
}

// The local zone's name, for the text header: TZ (which a site file's
// time_zone sets), else the zone /etc/localtime links to.
std::string LocalZoneName() {
  if (const char* tz = std::getenv("TZ"); tz && *tz) return tz[0] == ':' ? tz + 1 : tz;
  char target[256] = {};
  const ssize_t n = ::readlink("/etc/localtime", target, sizeof target - 1);
  const std::string link(target, n > 0 ? static_cast<size_t>(n) : 0);
  const size_t at = link.find("zoneinfo/");
  return at == std::string::npos ? "the host's local time" : link.substr(at + 9);
}

std::string Hex(const StoredRecord& raw) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : raw) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

void PrintHeader(Format format) {
  if (format == Format::kCsv) std::printf("%s%s\n", kCsvHeader, kKindCsvHeader);
  if (format != Format::kText) return;
  std::printf("# time: the controller's clock; received: the host's; both in %s\n",
              LocalZoneName().c_str());
  std::printf(kTextRow, "time", "received", "line", "controller", "sequence", "value1", "value2",
              "number1", "number2", "kind");
}

void Print(const EventRow& e, const EventKinds& kinds, Format format) {
  const DecodedEvent& f = e.fields;
  const EventKind* kind = kinds.Find(f.value1, f.value2);
  switch (format) {
    case Format::kText: {
      char number1[16];
      char number2[16];
      std::snprintf(number1, sizeof number1, "%08u", f.number1);
      std::snprintf(number2, sizeof number2, "%08u", f.number2);
      const std::string words = DescribeEvent(kinds, f.value1, f.value2);
      std::printf(kTextRow, f.controller_time.c_str(), LocalTime(e.received_ms).c_str(),
                  e.line.c_str(), e.controller.c_str(), std::to_string(e.seq).c_str(),
                  std::to_string(f.value1).c_str(), std::to_string(f.value2).c_str(), number1,
                  number2, words.c_str());
      break;
    }
    case Format::kJson:
      // seq, controller_time and received_ms stay for readers written
      // before the names followed the MQTT payload's.
      std::printf(
          "{\"id\":%lld,\"site\":%s,\"line\":%s,\"controller\":%s,\"address\":%d,"
          "\"sequence\":%lld,\"time\":\"%s\",\"received\":\"%s\",\"value1\":%d,\"value2\":%d,"
          "\"number1\":%u,\"number2\":%u,\"raw\":\"%s\",\"seq\":%lld,\"controller_time\":\"%s\","
          "\"received_ms\":%lld%s}\n",
          static_cast<long long>(e.id), control::JsonQuoted(e.site).c_str(),
          control::JsonQuoted(e.line).c_str(), control::JsonQuoted(e.controller).c_str(), e.address,
          static_cast<long long>(e.seq), ControllerTime(f.controller_time).c_str(),
          UtcTime(e.received_ms).c_str(), f.value1, f.value2, f.number1, f.number2,
          Hex(e.raw).c_str(), static_cast<long long>(e.seq), f.controller_time.c_str(),
          static_cast<long long>(e.received_ms), KindJsonFields(kind).c_str());
      break;
    case Format::kCsv:
      std::printf("%lld,%s,%s,%s,%d,%lld,%s,%s,%d,%d,%u,%u,%s%s\n", static_cast<long long>(e.id),
                  CsvQuoted(e.site).c_str(), CsvQuoted(e.line).c_str(),
                  CsvQuoted(e.controller).c_str(), e.address, static_cast<long long>(e.seq),
                  ControllerTime(f.controller_time).c_str(), UtcTime(e.received_ms).c_str(),
                  f.value1, f.value2, f.number1, f.number2, Hex(e.raw).c_str(),
                  KindCsvFields(kind).c_str());
      break;
  }
}

}  // namespace

// "YYYY-MM-DD[ HH:MM[:SS]]" in local time, or an age: "90s", "15m", "2h", "7d".
std::optional<int64_t> ParseSince(const std::string& text, int64_t now_ms) {
  char unit = 0;
  long amount = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%ld%c%c", &amount, &unit, &tail) == 2 && amount >= 0) {
    const int64_t seconds = unit == 's'   ? 1
                            : unit == 'm' ? 60
                            : unit == 'h' ? 3600
                            : unit == 'd' ? 86400
                                          : 0;
    if (seconds > 0) return now_ms - amount * seconds * 1000;
  }
  // The whole text must be one of the forms: a date followed by anything
  // else is refused, not cut short.
  tm local{};
  int& y = local.tm_year;
  int& mo = local.tm_mon;
  int& d = local.tm_mday;
  int& h = local.tm_hour;
  int& mi = local.tm_min;
  int& se = local.tm_sec;
  const char* t = text.c_str();
  const int length = static_cast<int>(text.size());
  int used = -1;
  const bool whole =
      (std::sscanf(t, "%d-%d-%d%n", &y, &mo, &d, &used) == 3 && used == length) ||
      (std::sscanf(t, "%d-%d-%d %d:%d%n", &y, &mo, &d, &h, &mi, &used) == 5 && used == length) ||
      (std::sscanf(t, "%d-%d-%dT%d:%d%n", &y, &mo, &d, &h, &mi, &used) == 5 && used == length) ||
      (std::sscanf(t, "%d-%d-%d %d:%d:%d%n", &y, &mo, &d, &h, &mi, &se, &used) == 6 &&
       used == length) ||
      (std::sscanf(t, "%d-%d-%dT%d:%d:%d%n", &y, &mo, &d, &h, &mi, &se, &used) == 6 &&
       used == length);
  if (!whole) return std::nullopt;
  local.tm_year -= 1900;
  local.tm_mon -= 1;
  local.tm_isdst = -1;
  const time_t when = std::mktime(&local);
  if (when == static_cast<time_t>(-1)) return std::nullopt;
  return int64_t{when} * 1000;
}

int EventsCommand(const Args& args) {
  if (HasFlag(args, "--json") && HasFlag(args, "--csv")) {
    std::fprintf(stderr, "zarvod events: --json and --csv exclude each other\n");
    return 2;
  }
  std::optional<SiteConfig> config;
  if (!LoadViewSiteFile("events", args, config)) return 1;
  const std::string path =
      FlagValue(args, "--journal", config ? config->journal.path : JournalConfig{}.path);
  const Format format = HasFlag(args, "--json")  ? Format::kJson
                        : HasFlag(args, "--csv") ? Format::kCsv
                                                 : Format::kText;
  int64_t since = 0;
  if (HasFlag(args, "--since")) {
    const std::optional<int64_t> parsed = ParseSince(FlagValue(args, "--since"), NowMs());
    if (!parsed) {
      std::fprintf(stderr, "zarvod events: %s\n",
                   zarvo::tools::BadValue("--since", FlagValue(args, "--since"),
                                          "YYYY-MM-DD[ HH:MM[:SS]] or an age like 15m, 2h, 7d")
                       .c_str());
      return 2;
    }
    since = *parsed;
  }
  std::string error;
  std::unique_ptr<JournalReader> reader = JournalReader::Open(path, error);
  if (!reader) {
    std::fprintf(stderr, "zarvod events: %s\n", error.c_str());
    return 1;
  }
  if (!UseJournalTimeZone("events", *reader, config)) return 1;
  PrintHeader(format);
  // The daemon writes the site's names at each start: a follower takes
  // them up again as it wakes.
  EventKinds kinds = reader->Kinds();
  const auto print = [format, &kinds](const EventRow& e) { Print(e, kinds, format); };
  // A read that failed part way is an error, not the end of the journal.
  const auto failed = [&reader] {
    if (reader->last_error().empty()) return false;
    std::fprintf(stderr, "zarvod events: %s\n", reader->last_error().c_str());
    return true;
  };
  int64_t last = reader->ForEachEvent(0, since, print);
  std::fflush(stdout);
  if (failed()) return 1;
  if (!HasFlag(args, "--follow")) return 0;
  // The daemon's commits write the journal's WAL file next to it: wake on
  // any change there instead of asking the journal over and over.
  const int watch = inotify_init1(IN_CLOEXEC);
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (watch < 0 || inotify_add_watch(watch, dir.c_str(), IN_MODIFY | IN_CREATE) < 0) {
    std::fprintf(stderr, "zarvod events: cannot watch %s\n", dir.c_str());
    return 1;
  }
  char buffer[4096];
  while (::read(watch, buffer, sizeof buffer) > 0) {
    kinds = reader->Kinds();
    last = reader->ForEachEvent(last, since, print);
    std::fflush(stdout);
    if (failed()) return 1;
  }
  return 0;
}

}  // namespace zarvod
