// The command line: --since of zarvod events, and check-config's verdicts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "cli/commands.h"
#include "journal/site_settings.h"

namespace zarvod {
namespace {

int64_t LocalMs(int y, int mo, int d, int h, int mi, int s) {
  tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  t.tm_isdst = -1;
  return int64_t{std::mktime(&t)} * 1000;
}

TEST(EventsSince, TakesAgesAndLocalTimes) {
  const int64_t now = 1796665504000;
  const struct {
    const char* text;
    std::optional<int64_t> expected;
  } cases[] = {
      {"90s", now - 90000},
      {"15m", now - 900000},
      {"2h", now - 7200000},
      {"7d", now - 7 * 86400000LL},
      {"2026-12-07", LocalMs(2026, 12, 7, 0, 0, 0)},
      {"2026-12-07 08:30", LocalMs(2026, 12, 7, 8, 30, 0)},
      {"2026-12-07T08:30:15", LocalMs(2026, 12, 7, 8, 30, 15)},
      {"yesterday", std::nullopt},
      {"5x", std::nullopt},
      {"2h30m", std::nullopt},
      {"2026-12", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseSince(c.text, now), c.expected) << c.text;
  }
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/zarvod-cli-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
    return dir_ + "/" + name;
  }
  std::string dir_;
};

constexpr const char* kSmallSite =
    "site = \"s\"\n[[line]]\nname = \"a\"\nport = \"/dev/null\"\n"
    "[[line.controller]]\naddress = 1\nname = \"A\"\n";

std::string Source(const char* relative) {
  return (std::filesystem::path(ZARVOD_SOURCE_DIR) / relative).string();
}

TEST_F(CliTest, CheckConfigExitsZeroOnlyForAGoodFile) {
  const struct {
    std::string file;
    int exit_code;
    const char* says;  // on stderr
  } cases[] = {
      {Write("good.toml", kSmallSite), 0, ""},
      {Source("examples/zarvod.toml"), 0, ""},
      {Source("packaging/zarvod.toml"), 0, ""},
      {Write("bad.toml", std::string(kSmallSite).append("colour = \"red\"\n")), 1, "unknown key"},
      {dir_ + "/missing.toml", 1, "missing.toml: cannot be read: No such file"},
      {dir_, 1, ": is a directory, not a site file"},
      {Write("tab.toml", std::string("time_zone = \"zone.tab\"\n").append(kSmallSite)), 1,
       "not in the tz database"},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(CheckConfigCommand({c.file}), c.exit_code) << c.file;
    ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.says), std::string::npos) << c.file << ": " << err;
  }
  EXPECT_EQ(CheckConfigCommand({}), 2);
}

// A journal holding one event of the controller `name`.
std::string JournalWithOneEvent(const std::string& dir, const std::string& name) {
  const std::string path = dir + "/journal.db";
  std::string error;
  std::unique_ptr<Journal> journal = Journal::Open(path, error);
  EXPECT_TRUE(journal) << error;
  const std::optional<int64_t> id = journal->Controller({"s", "a", 1, name});
  EXPECT_TRUE(id);
  Bookmark bookmark;
  bookmark.known = true;
  bookmark.next_seq = 2;
  StoredRecord record{0x26, 0x12, 0x07, 0x08, 0x30, 0x15, 8};
  EXPECT_TRUE(journal->CommitEvent(*id, record, 1796665504123, bookmark)) << journal->last_error();
  return path;
}

std::string EventsOutput(std::vector<std::string> args) {
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(EventsCommand(args), 0);
  return ::testing::internal::GetCapturedStdout();
}

std::vector<std::string> Words(const std::string& line, char separator) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line + separator) {
    if (c != separator) {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

// Text, CSV and JSON name an event's fields as the MQTT event payload does,
// and give the times alike.
TEST_F(CliTest, EventsNameTheirFieldsAsMqttDoes) {
  const std::string path = JournalWithOneEvent(dir_, "gate");
  const std::vector<std::string> mqtt = {"site",    "controller", "sequence", "line",
                                         "number1", "number2",    "value1",   "value2",
                                         "time",    "received",   "raw"};
  const std::string text = EventsOutput({"--journal", path});
  const std::string csv = EventsOutput({"--journal", path, "--csv"});
  const std::string json = EventsOutput({"--journal", path, "--json"});
  const std::vector<std::string> text_lines = Words(text, '\n');
  ASSERT_EQ(text_lines.size(), 3u) << text;
  EXPECT_EQ(
      text_lines[0].rfind("# time: the controller's clock; received: the host's; both in ", 0), 0u)
      << text;
  const std::vector<std::string> csv_names = Words(csv.substr(0, csv.find('\n')), ',');
  for (const std::string& name : Words(text_lines[1], ' ')) {
    if (name == "kind") continue;  // the site file's words, named alike in every form
    EXPECT_NE(std::find(mqtt.begin(), mqtt.end(), name), mqtt.end()) << "text: " << name;
  }
  for (const std::string& name : mqtt) {
    EXPECT_NE(std::find(csv_names.begin(), csv_names.end(), name), csv_names.end()) << name;
    EXPECT_NE(json.find("\"" + name + "\":"), std::string::npos) << name << " in " << json;
  }
  EXPECT_NE(csv.find(",2026-12-07T08:30:15,2026-12-07T17:45:04.123Z,"), std::string::npos) << csv;
  EXPECT_NE(json.find("\"time\":\"2026-12-07T08:30:15\",\"received\":\"2026-12-07T17:45:04.123Z\""),
            std::string::npos)
      << json;
}

struct Outcome {
  int exit_code = -1;
  std::string output;  // stdout and stderr
};

// zarvod run as a user runs it, in `folder`, with `environment` ahead.
Outcome Zarvod(const std::string& folder, const std::string& args,
               const std::string& environment = "") {
  const std::string command =
      "cd '" + folder + "' && " + environment + " '" ZARVOD_PATH "' " + args + " 2>&1";
  Outcome out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.output.append(buffer, n);
  const int status = pclose(pipe);
  out.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

TEST_F(CliTest, CommandLineRefusesWhatItCannotDoAndHelps) {
  // status finds ./zarvod.toml, whose journal is beside it.
  Write("zarvod.toml", kSmallSite + std::string("[journal]\npath = \"site.db\"\n"));
  {
    std::string error;
    ASSERT_TRUE(Journal::Open(dir_ + "/site.db", error)) << error;
  }
  const struct {
    const char* args;
    int exit_code;
    const char* says;
  } cases[] = {
      {"", 2, "usage: zarvod COMMAND"},
      {"evnts", 2, "unknown command 'evnts' (did you mean 'events'?)"},
      {"events --folow", 2, "unknown option '--folow' (did you mean '--follow'?)"},
      {"events --config", 2, "option '--config' needs a value (FILE)"},
      {"events --json --csv", 2, "exclude each other"},
      {"events --since soon", 2, "bad value 'soon' for --since"},
      {"run --mqt mqtt://localhost --config zarvod.toml", 2, "(did you mean '--mqtt'?)"},
      {"run", 2, "usage: zarvod run --config FILE"},
      {"run --config zarvod.toml --mqtt broker:1883", 2, "bad value 'broker:1883' for --mqtt"},
      {"--sim --rate 2x", 2, "bad value '2x' for --rate"},
      {"status --jurnal x.db", 2, "(did you mean '--journal'?)"},
      {"check-config a.toml b.toml", 2, "unexpected argument 'b.toml'"},
      {"--version", 0, "libzarvoac 0."},
      {"--help", 0, "--mqtt URL"},
      {"events --help", 0, "--since TIME"},
      {"status --config missing.toml", 1, "missing.toml: cannot be read"},
      {"status", 0, "daemon: not running"},
      {"events --csv", 0, "id,site,line"},
  };
  for (const auto& c : cases) {
    const Outcome out = Zarvod(dir_, c.args);
    EXPECT_EQ(out.exit_code, c.exit_code) << c.args << ": " << out.output;
    EXPECT_NE(out.output.find(c.says), std::string::npos) << c.args << ": " << out.output;
  }
}

TEST_F(CliTest, CheckConfigNamesEveryFaultAtItsPlace) {
  const std::string file = Write("faults.toml",
                                 "site = \"s\"\n"                  // 1
                                 "time_zone = \"Mars/Olympus\"\n"  // 2
                                 "colour = \"red\"\n"              // 3
                                 "[[line]]\n"                      // 4
                                 "name = \"a\"\n"                  // 5
                                 "port = \"/dev/null\"\n"          // 6
                                 "baud = 9601\n"                   // 7
                                 "[[line.controller]]\n"           // 8
                                 "address = 1\n"                   // 9
                                 "name = \"Gate\"\n"               // 10
                                 "[[line.controller]]\n"           // 11
                                 "address = 2\n"                   // 12
                                 "name = \"Gate\"\n");             // 13
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CheckConfigCommand({file}), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  for (const std::string& expected : {
           file + ":2:13: time_zone: time zone 'Mars/Olympus' is not in the tz database",
           file + ":3:1: unknown key 'colour'",
           file + ":7:8: 'baud' is not a line speed",
           file + ":13:8: controller name 'Gate' is already the name of a controller",
       }) {
    EXPECT_NE(err.find(expected), std::string::npos) << expected << "\n" << err;
  }
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 4) << err;
}

// A controller keeping Tokyo time, read by a status on a host in UTC with
// no site file: the journal's zone makes its clock right, not 9 h ahead.
TEST_F(CliTest, StatusMeasuresDriftInTheZoneKeptInTheJournal) {
  const std::string path = dir_ + "/tokyo.db";
  const time_t now = std::time(nullptr);
  {
    std::string error;
    std::unique_ptr<Journal> journal = Journal::Open(path, error);
    ASSERT_TRUE(journal) << error;
    ASSERT_EQ(SaveSiteSetting(*journal, kTimeZoneSetting, "Asia/Tokyo"), "");
    const std::optional<int64_t> id = journal->Controller({"s", "a", 1, "Gate"});
    ASSERT_TRUE(id);
    const auto bcd = [](int v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); };
    const time_t tokyo_wall = now + 9 * 3600;
    tm t{};
    gmtime_r(&tokyo_wall, &t);
    StoredRecord record{};
    record[0] = bcd(t.tm_year % 100);
    record[1] = bcd(t.tm_mon + 1);
    record[2] = bcd(t.tm_mday);
    record[3] = bcd(t.tm_hour);
    record[4] = bcd(t.tm_min);
    record[5] = bcd(t.tm_sec);
    Bookmark bookmark;
    bookmark.known = true;
    // The earlier read found the log empty; the event came after a quiet spell.
    bookmark.next_seq = 2;
    ASSERT_TRUE(journal->CommitEvent(*id, record, (now - 10) * 1000LL, bookmark));
    bookmark.next_seq = 3;
    ASSERT_TRUE(journal->CommitEvent(*id, record, now * 1000LL, bookmark));
  }
  const Outcome out = Zarvod(dir_, "status --journal tokyo.db", "TZ=UTC");
  EXPECT_EQ(out.exit_code, 0) << out.output;
  EXPECT_NE(out.output.find("Gate"), std::string::npos) << out.output;
  EXPECT_EQ(out.output.find("DRIFTED"), std::string::npos) << out.output;
}

// A name with a control character (from a journal older than the name
// rules) still gives one valid JSON object per line.
TEST_F(CliTest, EventsJsonEscapesControlCharacters) {
  const std::string path = JournalWithOneEvent(dir_, "Gate\x01\"1\"\n");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(EventsCommand({"--journal", path, "--json"}), 0);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("\"controller\":\"Gate\\u0001\\\"1\\\"\\n\""), std::string::npos) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
}

// Log lines carry syslog priorities only where stderr is the stream that
// JOURNAL_STREAM names; a terminal or file that inherited the variable reads
// plain "zarvod error: ...".
TEST_F(CliTest, PriorityPrefixesOnlyOnTheJournalsStream) {
  const std::string log = dir_ + "/log.txt";
  const std::string run = std::string(ZARVOD_PATH) + " run --config " + dir_ + "/missing.toml";
  const struct {
    std::string journal_stream;
    const char* starts;
  } cases[] = {
      {"", "zarvod error: "},
      {"1:1", "zarvod error: "},
      {"not-a-stream", "zarvod error: "},
      {"$(stat -c %d:%i " + log + ")", "<3>error: "},
  };
  for (const auto& c : cases) {
    std::ofstream(log).close();
    const std::string env = c.journal_stream.empty() ? "env -u JOURNAL_STREAM "
                                                     : "JOURNAL_STREAM=" + c.journal_stream + " ";
    EXPECT_NE(std::system((env + run + " 2>>" + log).c_str()), 0);
    std::ifstream in(log);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first.rfind(c.starts, 0), 0u) << c.journal_stream << ": " << first;
  }
}

}  // namespace
}  // namespace zarvod
