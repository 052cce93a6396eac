// zarvod init against virtual controllers: the site file it writes, and the
// lines it refuses to write one for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "cli/commands.h"
#include "cli/first_site_file.h"
#include "site_fixture.h"

namespace zarvod {
namespace {

struct InitRun {
  int exit_code;
  std::string out, err;
};

InitRun Init(const Args& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int exit_code = InitCommand(args);
  std::string out = ::testing::internal::GetCapturedStdout();
  return {exit_code, out, ::testing::internal::GetCapturedStderr()};
}

std::string Read(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

class InitTest : public testing::VirtualSiteTest {
 protected:
  InitTest() : VirtualSiteTest({{1, 2, 5}, {3}}) {}
  std::string Output() const { return dir_ + "/zarvod.toml"; }
};

TEST_F(InitTest, TwoLinesGiveASiteFileThatNamesEveryController) {
  const InitRun run = Init({"--port", buses_[0]->device_name(), "--port", buses_[1]->device_name(),
                            "--last", "5", "--output", Output()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("zarvod run --config " + Output()), std::string::npos) << run.out;
  ConfigError error;
  const std::optional<SiteConfig> config = LoadConfig(Output(), error);
  ASSERT_TRUE(config) << error.Text();
  ASSERT_EQ(config->lines.size(), 2u);
  EXPECT_EQ(config->lines[0].port, buses_[0]->device_name());
  EXPECT_EQ(config->lines[1].port, buses_[1]->device_name());
  std::vector<std::string> names;
  for (const LineConfig& line : config->lines) {
    for (const ControllerConfig& c : line.controllers) names.push_back(c.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"line1-door-1", "line1-door-2", "line1-door-5",
                                             "line2-door-3"}));
  EXPECT_EQ(config->journal.path, dir_ + "/zarvod.db");
}

TEST_F(InitTest, ReplacesAnExistingFileOnlyWithForce) {
  std::ofstream(Output()) << "# mine\n";
  const Args args = {"--port", buses_[1]->device_name(), "--last", "3", "--output", Output()};
  const InitRun refused = Init(args);
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("--force"), std::string::npos) << refused.err;
  EXPECT_EQ(Read(Output()), "# mine\n");

  Args forced = args;
  forced.push_back("--force");
  EXPECT_EQ(Init(forced).exit_code, 0);
  EXPECT_NE(Read(Output()).find("name = \"door-3\""), std::string::npos) << Read(Output());
  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().string().find(".new-"), std::string::npos) << "left behind";
  }
}

// A line that cannot be used as given: the finding names what was seen
// and the fix, and nothing is written.
TEST_F(InitTest, RefusesALineItCannotUseAndWritesNothing) {
  const struct {
    const char* what;
    std::vector<uint8_t> addresses;
    std::function<void(zarvo::sim::VirtualBus&)> set_up;
    const char* port_options;
    const char* says;
  } cases[] = {
      {"wrong speed",
       {1, 2},
       [](auto& bus) { bus.set_baud(19200); },
       "",
       "answer on PORT at 19200 bit/s, not at the 9600 bit/s asked for. Run init again with "
       "--port PORT --baud 19200"},
      {"nothing on it", {}, [](auto&) {}, "", "nothing answers on PORT at any standard speed"},
      {"echoing adapter, nothing on it",
       {},
       [](auto& bus) { bus.set_echo(true); },
       "",
       "echoes every request back (that is fine; the echo is dropped), but no controller"},
      {"echo=off on an echoing adapter",
       {1},
       [](auto& bus) { bus.set_echo(true); },
       "?echo=off",
       "Drop echo=off from --port"},
  };
  for (const auto& c : cases) {
    zarvo::sim::VirtualBus bus(c.addresses);
    c.set_up(bus);
    ASSERT_TRUE(bus.Start());
    const std::string port = bus.device_name() + c.port_options;
    const InitRun run = Init({"--port", port, "--output", Output()});
    EXPECT_EQ(run.exit_code, 1) << c.what;
    std::string says = c.says;
    for (size_t at; (at = says.find("PORT")) != std::string::npos;) says.replace(at, 4, port);
    EXPECT_NE(run.err.find(says), std::string::npos) << c.what << ": " << run.err;
    EXPECT_NE(run.err.find("nothing written"), std::string::npos) << c.what;
    EXPECT_FALSE(std::filesystem::exists(Output())) << c.what;
    bus.Stop();
  }
}

TEST_F(InitTest, ABadOptionValueNamesTheOption) {
  const struct {
    Args args;
    const char* says;
  } cases[] = {
      {{"--port", "/dev/x", "--baud", "9601"}, "--baud 9601"},
      {{"--port", "/dev/x", "--last", "256"}, "--last 256"},
      {{"--port", "/dev/x", "--output", "/tmp"}, "--output /tmp"},
      {{"--port", "/dev/x", "--output", "/no/such/folder/z.toml"}, "--output /no/such/folder"},
      {{"--port", "/dev/x", "--port", "/dev/x"}, "--port /dev/x is given twice"},
      {{"--port"}, "--port needs a value"},
      {{"--port", "/dev/x", "--frce"}, "unknown option '--frce'"},
      {{}, "--port"},
  };
  for (const auto& c : cases) {
    const InitRun run = Init(c.args);
    EXPECT_EQ(run.exit_code, 2) << c.says;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
  }
}

TEST_F(InitTest, TheBuiltInSitesFileNamesItsVirtualLines) {
  const InitRun run = Init({"--sim", "--output", Output()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("zarvod --sim --config " + Output()), std::string::npos) << run.out;
  ConfigError error;
  const std::optional<SiteConfig> config = LoadConfig(Output(), error);
  ASSERT_TRUE(config) << error.Text();
  ASSERT_EQ(config->lines.size(), 2u);
  EXPECT_EQ(config->lines[0].port, "virtual:ground");
  EXPECT_EQ(config->lines[1].controllers.at(1).name, "office-west");
}

TEST(HostTimeZone, FromTheTimezoneFileElseTheLocaltimeLinkElseUtc) {
  char folder[] = "/tmp/zarvod-zone-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string etc = folder;
  const struct {
    const char* timezone_file;  // nullptr: none
    const char* localtime_link;
    const char* zone;
  } cases[] = {
      {"Europe/Berlin\n", "/usr/share/zoneinfo/Asia/Tokyo", "Europe/Berlin"},
      {nullptr, "/usr/share/zoneinfo/America/Argentina/Salta", "America/Argentina/Salta"},
      {"  \n", "../usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"},
      {nullptr, nullptr, "UTC"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(etc + "/timezone");
    std::filesystem::remove(etc + "/localtime");
    if (c.timezone_file != nullptr) std::ofstream(etc + "/timezone") << c.timezone_file;
    if (c.localtime_link != nullptr) {
      std::filesystem::create_symlink(c.localtime_link, etc + "/localtime");
    }
    EXPECT_EQ(HostTimeZone(etc), c.zone);
  }
  std::filesystem::remove_all(etc);
}

}  // namespace
}  // namespace zarvod
