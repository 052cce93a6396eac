// Bulk enrolment through the zarvoctl binary: a CSV file imported onto a
// virtual controller, checked in the controller's card list and in the
// summary the tool prints.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "virtual_bus.h"

namespace zarvo {
namespace {

namespace fs = std::filesystem;

// The tool sits beside the tests in the build tree: tests/<name> and
// tools/zarvoctl.
fs::path ZarvoctlPath() {
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" / "zarvoctl";
}

struct RunResult {
  int status = -1;
  std::string out;
};

RunResult RunCommand(const std::string& command) {
  RunResult r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char chunk[512];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) r.out.append(chunk, n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

class CardsImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(ZarvoctlPath())) << ZarvoctlPath() << " not built";
    ASSERT_TRUE(bus_.Start());
    csv_ = fs::temp_directory_path() / ("cards_import_" + std::to_string(getpid()) + ".csv");
  }
  void TearDown() override {
    bus_.Stop();
    fs::remove(csv_);
  }

  RunResult Import(const std::string& content, const std::string& format = "--json") {
    std::ofstream(csv_) << content;
    return RunCommand(ZarvoctlPath().string() + " " + format + " --port " + bus_.device_name() +
                      " cards import 1 " + csv_.string() + " 2>&1");
  }

  std::optional<sim::SingleCard> Stored(uint32_t number) {
    std::optional<sim::SingleCard> found;
    bus_.WithController(1, [&](sim::ControllerState& s) {
      if (const sim::SingleCard* c = s.cards.FindSingle(number)) found = *c;
    });
    return found;
  }

  sim::VirtualBus bus_{{1}};
  fs::path csv_;
};

TEST_F(CardsImportTest, EnrolsEveryGoodLineAndReportsEachBadOne) {
  const RunResult r = Import(
      "number,pin,value1,value2,date,flags,flagged\n"
      "1001,12ab56,1,2,2030-01-31,101,0\n"
      "# a comment line\n"
      "\n"
      "1002,,,,,,\n"
      "12x,,,,,,\n"
      "1003,,,,2023-02-29,,\n"
      "1004,abcdef,300,,,,\n"
      "1005,000001,,,,,yes\n");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(R"("total":6,"succeeded":3,"failed":3)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(R"({"line":6,"card":"12x","error":"bad card number '12x'"})"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(R"({"line":7,"card":"1003","result":{"code":-1,"name":"REFUSED"}})"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(R"({"line":8,"card":"1004","error":"value1 must be 0 to 255"})"),
            std::string::npos)
      << r.out;

  const auto first = Stored(1001);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->pin, (std::array<uint8_t, 3>{0x12, 0xAB, 0x56}));
  EXPECT_EQ(first->value1, 1);
  EXPECT_EQ(first->value2, 2);
  EXPECT_EQ(first->date.year, 0x30);
  EXPECT_EQ(first->date.month, 0x01);
  EXPECT_EQ(first->date.day, 0x31);
  EXPECT_EQ(first->flags, 0b101u);
  EXPECT_EQ(first->registered_by, 18);

  const auto defaults = Stored(1002);
  ASSERT_TRUE(defaults.has_value());
  EXPECT_EQ(defaults->date.year, 0x99);
  EXPECT_EQ(defaults->flags, 0u);

  ASSERT_TRUE(Stored(1005).has_value());
  EXPECT_EQ(Stored(1005)->registered_by, 20);
  EXPECT_FALSE(Stored(1003).has_value());
  EXPECT_FALSE(Stored(1004).has_value());
}

TEST_F(CardsImportTest, ColumnsMayComeInAnyOrderAndAllGoodExitsZero) {
  const RunResult r = Import("flags , number\n11,7\n,8\n", "");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("registered 2 of 2 card(s) on controller 1"), std::string::npos) << r.out;
  ASSERT_TRUE(Stored(7).has_value());
  EXPECT_EQ(Stored(7)->flags, 0b11u);
  EXPECT_TRUE(Stored(8).has_value());
}

TEST_F(CardsImportTest, UnusableHeaderSendsNothing) {
  for (const char* content : {"number,colour\n1,red\n", "pin\n123456\n", ""}) {
    SCOPED_TRACE(content);
    const RunResult r = Import(content);
    EXPECT_EQ(r.status, 2) << r.out;
  }
  EXPECT_EQ(bus_.request_count(), 0u);
}

}  // namespace
}  // namespace zarvo
