// zarvod events: prints journaled events as text, JSON lines or CSV;
// --follow goes on printing as the daemon journals more.
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/commands.h"
#include "cli/site_file.h"
#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "json_line.h"
#include "shared/option_parser.h"

namespace zarvod {
namespace {

enum class Format { kText, kJson, kCsv };

std::string LocalTime(int64_t ms) {
  const time_t seconds = static_cast<time_t>(ms / 1000);
  tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
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

// A CSV field: names are the only free text.
std::string CsvQuoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

void Print(const EventRow& e, Format format) {
  const DecodedEvent& f = e.fields;
  switch (format) {
    case Format::kText:
      std::printf("%s  %s/%s #%lld  %s  value %d/%d  number %08u/%08u\n",
                  LocalTime(e.received_ms).c_str(), e.line.c_str(), e.controller.c_str(),
                  static_cast<long long>(e.seq), f.controller_time.c_str(), f.value1, f.value2,
                  f.number1, f.number2);
      break;
    case Format::kJson:
      std::printf(
          "{\"id\":%lld,\"site\":%s,\"line\":%s,\"controller\":%s,\"address\":%d,\"seq\":%lld,"
          "\"controller_time\":\"%s\",\"received_ms\":%lld,\"value1\":%d,\"value2\":%d,"
          "\"number1\":%u,\"number2\":%u,\"raw\":\"%s\"}\n",
          static_cast<long long>(e.id), control::JsonQuoted(e.site).c_str(),
          control::JsonQuoted(e.line).c_str(), control::JsonQuoted(e.controller).c_str(), e.address,
          static_cast<long long>(e.seq), f.controller_time.c_str(),
          static_cast<long long>(e.received_ms), f.value1, f.value2, f.number1, f.number2,
          Hex(e.raw).c_str());
      break;
    case Format::kCsv:
      std::printf("%lld,%s,%s,%s,%d,%lld,%s,%s,%d,%d,%u,%u,%s\n", static_cast<long long>(e.id),
                  CsvQuoted(e.site).c_str(), CsvQuoted(e.line).c_str(),
                  CsvQuoted(e.controller).c_str(), e.address, static_cast<long long>(e.seq),
                  f.controller_time.c_str(), LocalTime(e.received_ms).c_str(), f.value1, f.value2,
                  f.number1, f.number2, Hex(e.raw).c_str());
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
  if (format == Format::kCsv) {
    std::printf(
        "id,site,line,controller,address,seq,controller_time,received,value1,value2,"
        "number1,number2,raw\n");
  }
  const auto print = [format](const EventRow& e) { Print(e, format); };
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
    last = reader->ForEachEvent(last, since, print);
    std::fflush(stdout);
    if (failed()) return 1;
  }
  return 0;
}

}  // namespace zarvod
