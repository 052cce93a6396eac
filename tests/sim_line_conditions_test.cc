// The virtual controller's line conditions: a controller set to another
// speed than the host's port, and stray bytes ahead of its replies, as the
// host's line counters see them.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace zarvo {
namespace {

class SimLineConditionsTest : public testing::SimTest {};

// The virtual controller set to a speed answers only when the host's port
// runs at it; otherwise the host sees bytes that decode to nothing.
TEST_F(SimLineConditionsTest, ControllerAtAnotherSpeedSendsGarbage) {
  bus_.set_baud(19200);
  ZarvoLineStats stats{};
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, 1);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_E_NO_START_BYTE);
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, 1);
  EXPECT_GT(stats.noiseBytes, 0u);
  ASSERT_EQ(Zarvo_OpenCom(bus_.device_name().c_str(), 19200), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
}

TEST_F(SimLineConditionsTest, StrayBytesAheadOfEveryReply) {
  bus_.set_noise(true);
  ZarvoLineStats stats{};
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, 1);
  EXPECT_EQ(Zarvo_SearchAR(1), ZARVO_OK);
  EXPECT_EQ(Zarvo_SearchAR(2), ZARVO_OK);
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, 0);
  EXPECT_EQ(stats.noiseBytes, 6u);
  EXPECT_EQ(stats.successes, 2u);
}

}  // namespace
}  // namespace zarvo
