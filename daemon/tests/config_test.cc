// The site file: a full one reads into every field; each fault is reported
// with the line and column where it is.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "config/site_config.h"

namespace zarvod {
namespace {

constexpr const char* kSite = R"(site = "Works"
time_zone = "Europe/Berlin"
poll_interval_ms = 250
[journal]
path = "/var/lib/zarvod/journal.db"
retention_days = 400
[cards]
source = "/etc/zarvod/cards.csv"
[clock]
daily_at = "03:30"
drift_limit_s = 10
[groups]
office = ["Front", "ground/2"]
[[line]]
name = "ground"
port = "/dev/ttyUSB0?echo=on"
baud = 19200
[[line.controller]]
address = 1
name = "Front"
doors = ["Main", "Side"]
[[line.controller]]
address = 2
name = "Back"
[mqtt]
broker = "mqtts://broker.example:8883"
username = "site-works"
[mqtt.tls]
ca_file = "/etc/zarvod/ca.pem"
[mqtt.signing_keys]
hq = "0123456789abcdef0123"
[event_kinds]
"3" = "clock set"
"8/0" = { words = "card accepted", door = 1, direction = "in" }
"8" = { words = "card presented" }
)";

TEST(SiteConfig, ReadsEverySection) {
  ConfigError error;
  const std::optional<SiteConfig> c = ParseConfig(kSite, "site.toml", error);
  ASSERT_TRUE(c) << error.Text();
  EXPECT_EQ(c->site, "Works");
  EXPECT_EQ(c->time_zone, "Europe/Berlin");
  EXPECT_EQ(c->poll_interval_ms, 250);
  EXPECT_EQ(c->journal.path, "/var/lib/zarvod/journal.db");
  EXPECT_EQ(c->journal.retention_days, 400);
  EXPECT_EQ(c->cards.source, "/etc/zarvod/cards.csv");
  EXPECT_EQ(c->clock.daily_at, "03:30");
  EXPECT_EQ(c->clock.drift_limit_s, 10);
  EXPECT_EQ(c->groups.at("office").size(), 2u);
  ASSERT_EQ(c->lines.size(), 1u);
  EXPECT_EQ(c->lines[0].port, "/dev/ttyUSB0?echo=on");
  EXPECT_EQ(c->lines[0].baud, 19200);
  ASSERT_EQ(c->lines[0].controllers.size(), 2u);
  EXPECT_EQ(c->lines[0].controllers[0].doors, (std::vector<std::string>{"Main", "Side"}));
  EXPECT_EQ(c->lines[0].controllers[1].address, 2);
  ASSERT_TRUE(c->mqtt);
  EXPECT_EQ(c->mqtt->broker, "mqtts://broker.example:8883");
  EXPECT_EQ(c->mqtt->ca_file, "/etc/zarvod/ca.pem");
  EXPECT_EQ(c->mqtt->signing_keys.at("hq"), "0123456789abcdef0123");
  EXPECT_EQ(c->mqtt->keepalive_s, 30);
  // A value pair named on its own; others of its first value by the first alone.
  const struct {
    int value1, value2;
    const char* words;
  } events[] = {{8, 0, "card accepted, door 1, in"},
                {8, 3, "card presented"},
                {3, 200, "clock set"},
                {4, 0, ""}};
  for (const auto& e : events) {
    EXPECT_EQ(DescribeEvent(c->event_kinds, e.value1, e.value2), e.words) << e.value1;
  }
}

struct BadCase {
  const char* name;
  const char* from;  // replaced in kSite
  std::string to;
  int line;
  int column;
  const char* message;
};

TEST(SiteConfig, NamesTheLineAndColumnOfEachFault) {
  const BadCase cases[] = {
      {"unknown key", "poll_interval_ms = 250", "poll_interval = 250", 3, 1,
       "unknown key 'poll_interval'"},
      {"unknown key in a controller", "name = \"Back\"", "name = \"Back\"\nrelay = 1", 25, 1,
       "unknown key 'relay'"},
      {"wrong type", "retention_days = 400", "retention_days = \"400\"", 6, 18,
       "must be an integer"},
      {"address out of range", "address = 2", "address = 256", 23, 11, "1 to 255"},
      {"address twice", "address = 2", "address = 1", 22, 1, "appears twice"},
      {"not a line speed", "baud = 19200", "baud = 19201", 17, 8, "line speed"},
      {"daily time", "\"03:30\"", "\"3h30\"", 10, 12, "HH:MM"},
      {"daily time with a sign", "\"03:30\"", "\"+3:00\"", 10, 12, "HH:MM"},
      {"daily time past midnight", "\"03:30\"", "\"24:00\"", 10, 12, "HH:MM"},
      {"unknown group member", "\"ground/2\"", "\"Nobody\"", 13, 20, "no controller 'Nobody'"},
      {"group member at no address", "\"ground/2\"", "\"ground/3\"", 13, 20,
       "no controller 'ground/3'"},
      {"group member on no line", "\"ground/2\"", "\"grund/2\"", 13, 20, "no controller 'grund/2'"},
      {"syntax", "site = \"Works\"", "site = \"Works", 1, 14, ""},
      {"broker scheme", "\"mqtts://broker", "\"tcp://broker", 26, 10, "mqtt:// or mqtts://"},
      {"unknown key in [mqtt]", "username =", "retain = true\nusername =", 27, 1,
       "unknown key 'retain'"},
      {"TLS with a plain broker", "\"mqtts://broker", "\"mqtt://broker", 28, 1,
       "needs an mqtts://"},
      {"short signing key", "\"0123456789abcdef0123\"", "\"short\"", 31, 6, "at least 16"},
      {"journal with no name", "\"/var/lib/zarvod/journal.db\"", "\"\"", 5, 8,
       "the journal path is empty"},
      {"journal in memory", "\"/var/lib/zarvod/journal.db\"", "\":memory:\"", 5, 8,
       "not a file name"},
      {"journal as a URI", "\"/var/lib/zarvod/journal.db\"", "\"file:journal.db?mode=memory\"", 5,
       8, "not a file name"},
      {"mqtts without a CA", "[mqtt.tls]\nca_file = \"/etc/zarvod/ca.pem\"\n", "", 26, 10,
       "needs [mqtt.tls] ca_file"},
      {"two lines on one port", "[mqtt]",
       "[[line]]\nname = \"upper\"\nport = \"/dev/ttyUSB0\"\n[[line.controller]]\n"
       "address = 1\nname = \"Up\"\n[mqtt]",
       27, 8, "on the port of line 'ground'"},
      // Names: each is usable in a card list, a topic and a shell, and names one thing.
      {"topic character in a name", "name = \"Back\"", "name = \"Back#2\"", 24, 8,
       "holds only letters"},
      {"the wildcard as a name", "name = \"Back\"", "name = \"*\"", 24, 8, "starts with a letter"},
      {"empty name", "name = \"Back\"", "name = \"\"", 24, 8, "cannot be empty"},
      {"long name", "name = \"Back\"", "name = \"" + std::string(65, 'b') + "\"", 24, 8,
       "at most 64"},
      {"control character in a line name", "name = \"ground\"", "name = \"gro\\u0001und\"", 15, 8,
       "holds only letters"},
      {"controller named as its line", "name = \"Back\"", "name = \"ground\"", 24, 8,
       "already the name of a line"},
      {"group named as a controller", "office =", "Back =", 13, 1,
       "already the name of a controller"},
      {"controller named for commands", "name = \"Back\"", "name = \"cmd\"", 24, 8,
       "topic of the site"},
      {"controller named for replies", "name = \"Back\"", "name = \"reply\"", 24, 8,
       "topic of the site"},
      {"site name that ends an id", "site = \"Works\"", "site = \"north_yard\"", 1, 8,
       "letters, digits and '-'"},
      {"site name with a blank", "site = \"Works\"", "site = \"Main office\"", 1, 8,
       "holds only letters"},
      {"event value past a byte", "\"8/0\" =", "\"8/256\" =", 34, 1, "VALUE1/VALUE2"},
      {"event value with a leading zero", "\"3\" =", "\"03\" =", 33, 1, "VALUE1/VALUE2"},
      {"event value not a number", "\"3\" =", "\"clock\" =", 33, 1, "VALUE1/VALUE2"},
      {"event kind as a number", "\"clock set\"", "3", 33, 7, "an event kind is"},
      {"event kind without words", "\"clock set\"", "\"\"", 33, 7, "must not be empty"},
      {"event kind at no door", "door = 1", "door = 5", 34, 43, "1 to 4"},
      {"event kind direction", "\"in\"", "\"up\"", 34, 58, "\"in\" or \"out\""},
      {"unknown key in an event kind", "door = 1", "gate = 1", 34, 36, "unknown key 'gate'"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = kSite;
    ASSERT_NE(text.find(c.from), std::string::npos);
    text.replace(text.find(c.from), std::string(c.from).size(), c.to);
    ConfigError error;
    EXPECT_FALSE(ParseConfig(text, "site.toml", error));
    EXPECT_EQ(error.line, c.line);
    EXPECT_EQ(error.column, c.column);
    EXPECT_NE(error.message.find(c.message), std::string::npos) << error.Text();
  }
}

// A relative journal path is beside the site file, wherever zarvod starts.
TEST(SiteConfig, PutsARelativeJournalBesideTheSiteFile) {
  char dir[] = "/tmp/zarvod-config-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const struct {
    const char* written;
    std::string read;
  } cases[] = {
      {"path = \"journal.db\"", std::string(dir) + "/journal.db"},
      {"path = \"../state/journal.db\"",
       std::filesystem::path(dir).parent_path() / "state/journal.db"},
      {"path = \"/var/lib/zarvod/journal.db\"", "/var/lib/zarvod/journal.db"},
      {"", std::string(dir) + "/zarvod.db"},  // the default
  };
  for (const auto& c : cases) {
    std::string text = kSite;
    text.replace(text.find("path = \"/var"),
                 std::string("path = \"/var/lib/zarvod/journal.db\"").size(), c.written);
    std::ofstream(std::string(dir) + "/site.toml") << text;
    ConfigError error;
    const std::optional<SiteConfig> config = LoadConfig(std::string(dir) + "/site.toml", error);
    ASSERT_TRUE(config) << error.Text();
    EXPECT_EQ(config->journal.path, c.read) << c.written;
  }
  std::filesystem::remove_all(dir);
}

TEST(SiteConfig, NamesUsableEverywherePass) {
  for (const char* name : {"Gate-1", "gate_1", "B.2", "7th", "a"}) {
    std::string text = kSite;
    text.replace(text.find("name = \"Back\""), 13, std::string("name = \"") + name + "\"");
    ConfigError error;
    EXPECT_TRUE(ParseConfig(text, "site.toml", error)) << name << ": " << error.Text();
  }
}

}  // namespace
}  // namespace zarvod
