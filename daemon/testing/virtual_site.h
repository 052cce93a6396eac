// Test fixture: a small site of virtual controllers, two lines each served
// by its own virtual bus on a pseudo-terminal:
//   line "north": controllers "north-1" (address 1) and "north-2" (address 2)
//   line "south": controller "south-1" (address 1)
// Tests open the lines through the library like the daemon does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "virtual_bus.h"

namespace zarvod::testing {

struct VirtualLine {
  std::string name;
  std::vector<uint8_t> addresses;
  std::unique_ptr<zarvo::sim::VirtualBus> bus;
};

class VirtualSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lines_.push_back({"north", {1, 2}, nullptr});
    lines_.push_back({"south", {1}, nullptr});
    for (VirtualLine& line : lines_) {
      line.bus = std::make_unique<zarvo::sim::VirtualBus>(line.addresses);
      ASSERT_TRUE(line.bus->Start()) << "virtual bus for line " << line.name;
    }
  }
  void TearDown() override {
    for (VirtualLine& line : lines_) line.bus->Stop();
  }

  zarvo::sim::VirtualBus& Bus(const std::string& name) {
    for (VirtualLine& line : lines_) {
      if (line.name == name) return *line.bus;
    }
    throw std::out_of_range("no virtual line " + name);
  }
  // Valid requests the whole site received.
  uint64_t SiteRequests() const {
    uint64_t n = 0;
    for (const VirtualLine& line : lines_) n += line.bus->request_count();
    return n;
  }

  std::vector<VirtualLine> lines_;
};

}  // namespace zarvod::testing
