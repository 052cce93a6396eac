// The command line: --since of zarvod events, and check-config's verdicts.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "cli/commands.h"

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

TEST(CheckConfig, ExitsZeroOnlyForAGoodFile) {
  char dir[] = "/tmp/zarvod-cli-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string good = std::string(dir) + "/good.toml";
  const std::string bad = std::string(dir) + "/bad.toml";
  const char* site =
      "site = \"s\"\n[[line]]\nname = \"a\"\nport = \"/dev/null\"\n"
      "[[line.controller]]\naddress = 1\nname = \"A\"\n";
  std::ofstream(good) << site;
  std::ofstream(bad) << site << "colour = \"red\"\n";
  EXPECT_EQ(CheckConfigCommand({good}), 0);
  EXPECT_EQ(CheckConfigCommand({bad}), 1);
  EXPECT_EQ(CheckConfigCommand({std::string(dir) + "/missing.toml"}), 1);
  EXPECT_EQ(CheckConfigCommand({}), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zarvod
