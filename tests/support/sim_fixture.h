// End-to-end fixture: the library's default session opened on the
// pseudo-terminal of a virtual controller serving addresses 1 and 2.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvo::testing {

class SimTest : public ::testing::Test {
 protected:
  explicit SimTest(std::vector<uint8_t> addresses = {1, 2}) : bus_(std::move(addresses)) {}

  void SetUp() override {
    ASSERT_TRUE(bus_.Start());
    ASSERT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 9600), ZARVO_OK);
  }
  void TearDown() override {
    Zarvo_CloseCom();
    bus_.Stop();
  }

  uint64_t Requests() const { return bus_.request_count(); }

  sim::VirtualBus bus_;
};

}  // namespace zarvo::testing
