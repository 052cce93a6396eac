// Several host threads sharing the one port: every call is serialized inside
// the library, so no frame interleaves with another and the table caches
// stay consistent. Each thread talks to its own controller and checks that
// it reads back exactly what it wrote.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "sim_fixture.h"

namespace zarvo {
namespace {

class ThreadSafetyTest : public testing::SimTest {
 protected:
  ThreadSafetyTest() : SimTest({1, 2, 3, 4}) {}
};

// Mixed calls against controller `address`; returns the number of wrong
// results seen.
int MixedCalls(int32_t address, int calls) {
  int wrong = 0;
  auto check = [&](bool ok) { wrong += ok ? 0 : 1; };
  for (int i = 0; i < calls; ++i) {
    switch (i % 5) {
      case 0: check(Zarvo_SearchAR(address) == ZARVO_OK); break;
      case 1: {
        CardRecord card{};
        const std::string number = std::to_string(address * 100000 + i);
        std::snprintf(card.cardNumber, sizeof card.cardNumber, "%s", number.c_str());
        std::snprintf(card.pin, sizeof card.pin, "%06d", i % 1000000);
        std::memset(card.flags, '0', sizeof card.flags);
        card.value1 = address;
        card.value2 = i & 0xFF;
        card.year = 2030;
        card.month = 1 + i % 12;
        card.day = 1 + i % 28;
        uint32_t ticks = 0;
        check(Zarvo_Registry(address, &card, &ticks, 1, 0) == ZARVO_OK);
        CardRecord back{};
        std::snprintf(back.cardNumber, sizeof back.cardNumber, "%s", number.c_str());
        check(Zarvo_Registry(address, &back, &ticks, 0, 0) == ZARVO_OK);
        check(back.value1 == address && back.value2 == (i & 0xFF) && back.month == card.month &&
              std::strcmp(back.pin, card.pin) == 0);
        break;
      }
      case 2: {
        int32_t day[33] = {i % 7};
        for (int p = 0; p < 8; ++p) {
          day[1 + 4 * p] = (address + p) % 24;
          day[2 + 4 * p] = i % 60;
          day[3 + 4 * p] = (address + p + 1) % 24;
          day[4 + 4 * p] = p;
        }
        check(Zarvo_TimeTable(address, address, day, 1) == ZARVO_OK);
        int32_t back[33] = {i % 7};
        check(Zarvo_TimeTable(address, address, back, 0) == ZARVO_OK);
        check(std::memcmp(day, back, sizeof day) == 0);
        break;
      }
      case 3: {
        EventRecord record{};
        check(Zarvo_ReadOne(address, &record) == ZARVO_OK);
        break;
      }
      default: {
        static thread_local EventRecord block[192];
        check(Zarvo_ReadRecordOfBlock(address, 0, block) >= 0);
        break;
      }
    }
  }
  return wrong;
}

TEST_F(ThreadSafetyTest, FourThreadsOfMixedCallsEachSeeTheirOwnResults) {
  constexpr int kThreads = 4;
  constexpr int kCalls = 500;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &wrong] { wrong += MixedCalls(t + 1, kCalls); });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(bus_.bad_frame_count(), 0u);  // no interleaved frames on the line
}

}  // namespace
}  // namespace zarvo
