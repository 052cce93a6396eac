// zarvod-bench: what collecting a controller's events costs the site daemon,
// against floors measured in the same run on the same paced line.
//
//   - draining a full log at 9600 bit/s with the daemon's exactly-once
//     collection, against reading the same log by blocks (the fastest read
//     the controller offers);
//   - the journal's commit per event, against the wire time per event.
//
//   zarvod-bench            a log of 384 records (about 40 s)
//   zarvod-bench --quick    192 records
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "collect/collector.h"
#include "journal/journal.h"
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
  const double drain_per_event = drain_seconds / static_cast<double>(records);

  std::printf("| full log of %zu records at 9600 bit/s | seconds | ratio |\n|---|---|---|\n",
              records);
  std::printf("| block reads, wire time | %.2f | |\n", kBlockWireSeconds * blocks);
  std::printf("| block reads, measured (floor) | %.2f | 1.00 |\n", block_seconds);
  std::printf("| zarvod collection, exactly once | %.2f | %.2f (target <= 1.1) |\n", drain_seconds,
              drain_seconds / block_seconds);
  std::printf("\n| one single-record read (12 + 46 bytes) | ms |\n|---|---|\n");
  std::printf("| wire time | %.1f |\n| measured | %.1f |\n", 58 * kByteSeconds * 1000,
              single_seconds * 1000);
  std::printf("\n| journal | ms | share of wire time per event |\n|---|---|---|\n");
  std::printf("| wire time per event (collection) | %.1f | |\n", drain_per_event * 1000);
  std::printf(
      "| durable commit per event (WAL, synchronous=FULL) | %.2f | %.1f%% (target <= 2%%) |\n",
      commit_seconds * 1000, 100 * commit_seconds / drain_per_event);
  Zarvo_LineDestroy(line);
  bus.Stop();
  journal.reset();
  std::filesystem::remove_all(dir);
  return 0;
}
