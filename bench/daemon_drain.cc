// zarvod-bench: what collecting a controller's events costs the site daemon,
// against floors measured in the same run on the same paced line.
//
//   - draining a full log at 9600 bit/s with the daemon's exactly-once
//     collection, against reading the same log by blocks (the fastest read
//     the controller offers);
//   - the journal's commit per event, against the wire time per event:
//     a block's records in one commit, and one commit per record as a small
//     backlog is collected.
//
//   zarvod-bench            a log of 384 records (about 40 s)
//   zarvod-bench --quick    192 records
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "collect/collector.h"
#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "site/line_worker.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// 10 bits a byte at 9600 bit/s; a block read is 16 bytes out and 6158 back.
constexpr double kByteSeconds = 10.0 / 9600.0;
constexpr double kBlockWireSeconds = (16 + 6158) * kByteSeconds;

std::string TempDir() {
  char dir[] = "/tmp/zarvod-bench-XXXXXX";
  return mkdtemp(dir) ? dir : "/tmp";
}

// A virtual line paced at 9600 bit/s whose controllers hold `records`
// events each, their logs full.
std::unique_ptr<zarvo::sim::VirtualBus> PacedBus(std::vector<uint8_t> addresses, size_t records) {
  auto bus = std::make_unique<zarvo::sim::VirtualBus>(addresses);
  if (!bus->Start()) return nullptr;
  for (uint8_t a : addresses) {
    bus->WithController(a, [&](zarvo::sim::ControllerState& s) {
      if (records == 0) return;
      s.events.set_capacity(records);
      for (size_t i = 0; i < records; ++i) {
        s.LogEvent(zarvo::sim::kEventCardPresented, 1, 100000 + static_cast<uint32_t>(i), 0);
      }
    });
  }
  bus->set_paced_baud(9600);
  return bus;
}

// Four lines drained at once, each by its own thread, into one journal.
double DrainFourLines(size_t records, const std::string& dir) {
  std::string error;
  auto journal = zarvod::Journal::Open(dir + "/four.db", error);
  std::vector<std::unique_ptr<zarvo::sim::VirtualBus>> buses;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) buses.push_back(PacedBus({1}, records));
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      ZarvoLine* line = Zarvo_LineCreate();
      Zarvo_LineOpenCom(line, buses[i]->device_name().c_str(), 9600);
      const std::string name = "line" + std::to_string(i);
      const int64_t id = journal->Controller({"bench", name, 1, name}).value_or(0);
      zarvod::Collector collector(*journal, id, line, 1, name);
      const std::atomic<bool> stop{false};
      while (collector.Turn(32, stop) == zarvod::TurnResult::kMore) {
      }
      Zarvo_LineDestroy(line);
    });
  }
  for (std::thread& t : threads) t.join();
  return SecondsSince(t0);
}

// Card events at random controllers of a line of eight, collected by the
// site's line worker: how long from logging to the journal.
std::vector<double> CardEventLatencies(int samples, const std::string& dir) {
  auto bus = PacedBus({1, 2, 3, 4, 5, 6, 7, 8}, 0);
  std::string error;
  auto journal = zarvod::Journal::Open(dir + "/latency.db", error);
  zarvod::LineConfig config{"line", bus->device_name(), 9600, {}};
  for (int a = 1; a <= 8; ++a) config.controllers.push_back({a, "C" + std::to_string(a), {}});
  zarvod::LineWorker worker("bench", config, *journal, 100);
  worker.Start();
  auto reader = zarvod::JournalReader::Open(dir + "/latency.db", error);
  int64_t last_id = 0;
  // The history every virtual controller starts with, collected first.
  while (last_id < 48) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    last_id = reader->ForEachEvent(last_id, 0, [](const zarvod::EventRow&) {});
  }
  std::mt19937 random(1);
  std::vector<double> latencies;
  for (int i = 0; i < samples; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 700));
    const auto address = static_cast<uint8_t>(1 + random() % 8);
    const Clock::time_point logged = Clock::now();
    bus->WithController(address, [](zarvo::sim::ControllerState& s) {
      s.LogEvent(zarvo::sim::kEventCardPresented, 0, 424242, 0);
    });
    // A benchmark may look again and again; 2 ms between looks.
    int64_t seen = last_id;
    while (seen == last_id) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      seen = reader->ForEachEvent(last_id, 0, [](const zarvod::EventRow&) {});
    }
    latencies.push_back(SecondsSince(logged));
    last_id = seen;
  }
  worker.RequestStop();
  worker.Join();
  std::sort(latencies.begin(), latencies.end());
  return latencies;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  const size_t blocks = quick ? 1 : 2;
  const size_t records = blocks * 192;

  zarvo::sim::VirtualBus bus({1});
  if (!bus.Start()) return 1;
  bus.WithController(1, [&](zarvo::sim::ControllerState& s) {
    s.events.set_capacity(records);
    for (size_t i = 0; i < records; ++i) {
      s.LogEvent(zarvo::sim::kEventCardPresented, 1, 100000 + static_cast<uint32_t>(i), 0);
    }
  });
  bus.set_paced_baud(9600);
  ZarvoLine* line = Zarvo_LineCreate();
  if (Zarvo_LineOpenCom(line, bus.device_name().c_str(), 9600) != ZARVO_OK) return 1;

  // Floor: the whole log by blocks.
  std::vector<EventRecord> buffer(192);
  Clock::time_point t0 = Clock::now();
  for (size_t b = 0; b < blocks; ++b) {
    if (Zarvo_LineReadRecordOfBlock(line, 1, static_cast<int32_t>(b), buffer.data()) != 192) {
      std::fprintf(stderr, "block read failed\n");
      return 1;
    }
  }
  const double block_seconds = SecondsSince(t0);
  // One single-record read, the exchange collection makes per event.
  EventRecord one{};
  const int singles = quick ? 10 : 20;
  t0 = Clock::now();
  for (int i = 0; i < singles; ++i) Zarvo_LineReadOne(line, 1, &one);
  const double single_seconds = SecondsSince(t0) / singles;
  int32_t values[6] = {};
  t0 = Clock::now();
  for (int i = 0; i < singles; ++i) Zarvo_LineDeviceInformation(line, 1, values);
  const double look_seconds = SecondsSince(t0) / singles;

  // The daemon's collection of the same log into a fresh journal.
  const std::string dir = TempDir();
  std::string error;
  std::unique_ptr<zarvod::Journal> journal = zarvod::Journal::Open(dir + "/journal.db", error);
  if (!journal) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const int64_t id = journal->Controller({"bench", "line", 1, "C1"}).value_or(0);
  zarvod::Collector collector(*journal, id, line, 1, "C1");
  const std::atomic<bool> stop{false};
  t0 = Clock::now();
  zarvod::TurnResult result = zarvod::TurnResult::kMore;
  while (result == zarvod::TurnResult::kMore) result = collector.Turn(32, stop);
  const double drain_seconds = SecondsSince(t0);
  if (result != zarvod::TurnResult::kIdle) {
    std::fprintf(stderr, "collection failed\n");
    return 1;
  }
  // Off the drain's clock: the read position catches up with what the
  // blocks took, as later polling turns do.
  t0 = Clock::now();
  while (collector.catching_up() || result == zarvod::TurnResult::kMore) {
    result = collector.Turn(32, stop);
    if (result != zarvod::TurnResult::kIdle && result != zarvod::TurnResult::kMore) return 1;
  }
  const double catch_up_seconds = SecondsSince(t0);

  // The journal alone: one durable commit per event, as collection makes.
  zarvod::Bookmark bookmark;
  bookmark.known = true;
  bookmark.next_seq = 1000000;  // after the collected ones
  const int commits = quick ? 100 : 400;
  const zarvod::StoredRecord record = {0x26, 0x12, 0x07, 0x10, 0x20, 0x30, 8};
  t0 = Clock::now();
  for (int i = 0; i < commits; ++i) {
    ++bookmark.next_seq;
    if (!journal->CommitEvent(id, record, 0, bookmark)) {
      std::fprintf(stderr, "%s\n", journal->last_error().c_str());
      return 1;
    }
  }
  const double commit_seconds = SecondsSince(t0) / commits;
  // A block's records in one transaction, as block draining commits them.
  const std::vector<zarvod::StoredRecord> block(192, record);
  const int block_commits = quick ? 5 : 20;
  t0 = Clock::now();
  for (int i = 0; i < block_commits; ++i) {
    bookmark.next_seq += 192;
    if (!journal->CommitEvents(id, block, 0, bookmark)) {
      std::fprintf(stderr, "%s\n", journal->last_error().c_str());
      return 1;
    }
  }
  const double block_commit_seconds = SecondsSince(t0) / block_commits;
  const double drain_per_event = drain_seconds / static_cast<double>(records);

  std::printf("| full log of %zu records at 9600 bit/s | seconds | ratio |\n|---|---|---|\n",
              records);
  std::printf("| block reads, wire time | %.2f | |\n", kBlockWireSeconds * blocks);
  std::printf("| block reads, measured (floor) | %.2f | 1.00 |\n", block_seconds);
  std::printf("| zarvod collection, exactly once | %.2f | %.2f (target <= 1.1) |\n", drain_seconds,
              drain_seconds / block_seconds);
  std::printf("| then the read position's catch-up (idle line) | %.2f | |\n", catch_up_seconds);
  std::printf("\n| one single-record read (12 + 46 bytes) | ms |\n|---|---|\n");
  std::printf("| wire time | %.1f |\n| measured | %.1f |\n", 58 * kByteSeconds * 1000,
              single_seconds * 1000);
  std::printf("\n| journal | ms | share of wire time per event |\n|---|---|---|\n");
  std::printf("| wire time per event (block drain above) | %.1f | |\n", drain_per_event * 1000);
  std::printf("| block of 192 in one durable commit, per event | %.3f | %.2f%% (target <= 2%%) |\n",
              block_commit_seconds * 1000 / 192,
              100 * block_commit_seconds / 192 / drain_per_event);
  std::printf("| wire time per event (one by one, small backlog) | %.1f | |\n",
              single_seconds * 1000);
  std::printf("| one durable commit per event (WAL, synchronous=FULL) | %.2f | %.1f%% |\n",
              commit_seconds * 1000, 100 * commit_seconds / single_seconds);
  Zarvo_LineDestroy(line);
  bus.Stop();

  const size_t four_records = 192;
  const double four_seconds = DrainFourLines(four_records, dir);
  const double one_rate = static_cast<double>(records) / drain_seconds;
  const double four_rate = 4.0 * static_cast<double>(four_records) / four_seconds;
  std::printf("\n| four lines draining at once | events/s | ratio |\n|---|---|---|\n");
  std::printf("| one line (above) | %.2f | |\n", one_rate);
  std::printf("| four lines | %.2f | %.2f of four times one line (target >= 0.9) |\n", four_rate,
              four_rate / (4 * one_rate));

  const std::vector<double> latencies = CardEventLatencies(quick ? 8 : 30, dir);
  // A round looks at each of the eight once; the event then needs its
  // controller's look and one single-record read before its commit.
  const double round = std::max(0.1 + look_seconds, 8 * look_seconds);
  const double bound = round + 2 * single_seconds;
  if (!latencies.empty()) {
    const double p99 =
        latencies[std::min(latencies.size() - 1, static_cast<size_t>(0.99 * latencies.size()))];
    std::printf("\n| card event to journal, 8 controllers, poll 100 ms | ms |\n|---|---|\n");
    std::printf("| look exchange (device values), measured | %.1f |\n", look_seconds * 1000);
    std::printf("| round = max(poll + look, 8 x look) | %.1f |\n", round * 1000);
    std::printf("| bound = round + 2 exchanges | %.1f |\n", bound * 1000);
    std::printf("| p50 (%zu events) | %.1f |\n| p99 | %.1f (%s) |\n", latencies.size(),
                latencies[latencies.size() / 2] * 1000, p99 * 1000,
                p99 <= bound ? "within the bound" : "over the bound");
  }
  journal.reset();
  std::filesystem::remove_all(dir);
  return 0;
}
