// zarvod-mqtt-bench: the site daemon on MQTT, against floors measured in the
// same run, with a real mosquitto on a free loopback port.
//
//   1. a backlog drained from a paced line reaches a subscriber: the
//      subscriber's rate against the line's drain rate;
//   2. door-open latency on a polling line of eight paced controllers,
//      against one scheduler step plus one exchange, both measured;
//   3. CPU of a site of 8 lines x 16 controllers polling at the default
//      interval, in a child process, with and without MQTT;
//   4. memory of 4 lines x 16 controllers on MQTT: RSS, and the heap in use
//      while N events are collected (1 M by default).
//
//   zarvod-mqtt-bench [--quick] [--events N] [--only backlog|doors|idle|memory]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "broker_process.h"
#include "child_process.h"
#include "journal/journal_reader.h"
#include "log/log.h"
#include "mqtt_site.h"
#include "mqtt_site_child.h"
#include "site/site.h"
#include "test_client.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace {

using Clock = std::chrono::steady_clock;
using zarvo::mqtt::testing::BrokerProcess;
using zarvo::mqtt::testing::Received;
using zarvo::mqtt::testing::TestClient;
using zarvo::sim::VirtualBus;
using zarvod::bench::BenchSite;
using zarvod::bench::ChildProcess;

const std::string kPrefix = "zarvo/bench/";

double SecondsSince(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))];
}

int64_t UnixMs(std::chrono::system_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// A virtual line of controllers 1..count; paced at 9600 bit/s or replying
// at once. `backlog` > 0: each controller's log holds exactly that many
// unread card events.
std::unique_ptr<VirtualBus> StartBus(int count, bool paced, size_t backlog = 0) {
  std::vector<uint8_t> addresses;
  for (int a = 1; a <= count; ++a) addresses.push_back(static_cast<uint8_t>(a));
  auto bus = std::make_unique<VirtualBus>(addresses);
  if (!bus->Start()) return nullptr;
  for (uint8_t a : addresses) {
    bus->WithController(a, [&](zarvo::sim::ControllerState& s) {
      if (backlog == 0) return;
      s.events.set_capacity(backlog);
      for (size_t i = 0; i < backlog; ++i) {
        s.LogEvent(zarvo::sim::kEventCardPresented, 1, 100000 + static_cast<uint32_t>(i), 0);
      }
    });
  }
  if (paced) bus->set_paced_baud(9600);
  return bus;
}

size_t EventsIn(VirtualBus& bus, int count) {
  size_t total = 0;
  for (int a = 1; a <= count; ++a) {
    bus.WithController(static_cast<uint8_t>(a),
                       [&](zarvo::sim::ControllerState& s) { total += s.events.records().size(); });
  }
  return total;
}

size_t CountEvents(const std::vector<Received>& all) {
  return static_cast<size_t>(std::count_if(all.begin(), all.end(), [](const Received& m) {
    return m.topic.size() > 7 && m.topic.compare(m.topic.size() - 7, 7, "/events") == 0;
  }));
}

// The daemon's site and its MQTT side in this process, on a fresh journal.
struct SiteOnMqtt {
  SiteOnMqtt(const zarvod::SiteConfig& site_config, int broker_port) : config(site_config) {
    zarvod::ClearRegisteredMigrations();
    zarvo::mqtt::MqttSite::RegisterMigrations();
    std::string error;
    journal = zarvod::Journal::Open(config.journal.path, error);
    if (!journal) {
      std::fprintf(stderr, "journal: %s\n", error.c_str());
      std::exit(1);
    }
    site = std::make_unique<zarvod::Site>(config, *journal);
    zarvo::mqtt::MqttSettings settings;
    settings.port = broker_port;
    mqtt = std::make_unique<zarvo::mqtt::MqttSite>(settings, config, *journal, *site);
  }
  void Start() {
    std::string error;
    site->Start();
    if (!mqtt->Start(error)) {
      std::fprintf(stderr, "mqtt: %s\n", error.c_str());
      std::exit(1);
    }
  }
  ~SiteOnMqtt() {
    mqtt->Stop();
    site->Stop();
  }

  zarvod::SiteConfig config;
  std::unique_ptr<zarvod::Journal> journal;
  std::unique_ptr<zarvod::Site> site;
  std::unique_ptr<zarvo::mqtt::MqttSite> mqtt;
};

// 1. A backlog on a paced line, collected into a fresh journal and
// published; a subscriber counts arrivals.
void BacklogToSubscriber(const BrokerProcess& broker, const std::string& dir, size_t backlog) {
  auto bus = StartBus(1, true, backlog);
  const std::string journal_path = dir + "/backlog.db";
  TestClient subscriber({"bench-backlog", false, "", "", ""});
  if (!bus || !subscriber.Connect(broker.port()) || !subscriber.Subscribe(kPrefix + "+/events")) {
    std::fprintf(stderr, "backlog: no line or no subscriber\n");
    std::exit(1);
  }
  {
    SiteOnMqtt daemon(BenchSite(journal_path, {bus->device_name()}, 1), broker.port());
    daemon.Start();
    const bool all = subscriber.WaitUntil([&](auto& m) { return CountEvents(m) >= backlog; },
                                          static_cast<int>(backlog) * 500 + 30000);
    if (!all) std::fprintf(stderr, "backlog: not every event arrived\n");
  }
  std::string error;
  auto reader = zarvod::JournalReader::Open(journal_path, error);
  int64_t first_ms = 0, last_ms = 0;
  size_t journaled = 0;
  reader->ForEachEvent(0, 0, [&](const zarvod::EventRow& e) {
    if (journaled++ == 0) first_ms = e.received_ms;
    last_ms = e.received_ms;
  });
  int64_t first_arrival = 0, last_arrival = 0;
  size_t arrived = 0;
  for (const Received& m : subscriber.Messages()) {
    if (CountEvents({m}) == 0) continue;
    if (arrived++ == 0) first_arrival = UnixMs(m.at);
    last_arrival = UnixMs(m.at);
  }
  const double intervals = static_cast<double>(journaled - 1);
  const double drain_rate = intervals * 1000.0 / static_cast<double>(last_ms - first_ms);
  const double arrival_rate =
      intervals * 1000.0 / static_cast<double>(last_arrival - first_arrival);
  const double through_rate = intervals * 1000.0 / static_cast<double>(last_arrival - first_ms);
  std::printf("\n| backlog of %zu events, paced line at 9600 bit/s | events/s | ratio |\n",
              backlog);
  std::printf("|---|---|---|\n");
  std::printf("| line's drain rate, first to last journaled (floor) | %.2f | 1.00 |\n", drain_rate);
  std::printf("| subscriber's rate, first to last arrival | %.2f | %.3f (target >= 0.9) |\n",
              arrival_rate, arrival_rate / drain_rate);
  std::printf("| subscriber, first journaled to last arrival | %.2f | %.3f |\n", through_rate,
              through_rate / drain_rate);
  std::printf("| events journaled / arrived | %zu / %zu | |\n", journaled, arrived);
}

struct Exchanges {
  std::vector<double> look, read, open;
};

// The exchanges a door-open can wait for, timed on a paced line of its own:
// the poll's look (device values), a single-record read, and the door-open
// itself.
Exchanges TimeExchanges(int samples) {
  auto bus = StartBus(1, true);
  ZarvoLine* line = Zarvo_LineCreate();
  Exchanges out;
  if (!bus || Zarvo_LineOpenCom(line, bus->device_name().c_str(), 9600) != ZARVO_OK) {
    std::fprintf(stderr, "exchanges: no line\n");
    std::exit(1);
  }
  int32_t values[6] = {};
  for (int i = 0; i < samples; ++i) {
    Clock::time_point t0 = Clock::now();
    Zarvo_LineDeviceInformation(line, 1, values);
    out.look.push_back(SecondsSince(t0));
    EventRecord record{};
    t0 = Clock::now();
    Zarvo_LineReadOne(line, 1, &record);
    out.read.push_back(SecondsSince(t0));
    t0 = Clock::now();
    Zarvo_LineRemoteOpenDoor(line, 1, 0, 0);
    out.open.push_back(SecondsSince(t0));
  }
  Zarvo_LineDestroy(line);
  return out;
}

// Publishes a door-open for `controller` and waits for its reply; seconds
// from publish to reply, or -1 without a reply.
double DoorOpen(TestClient& central, const std::string& id, const std::string& controller,
                std::string* reply_payload = nullptr) {
  const int64_t deadline = UnixMs(std::chrono::system_clock::now()) / 1000 + 60;
  const std::string request = R"({"id":")" + id + R"(","controller":")" + controller +
                              R"(","door":0,"deadline":)" + std::to_string(deadline) + "}";
  const auto sent = std::chrono::system_clock::now();
  central.Publish(kPrefix + "cmd/door.open", request);
  const auto reply = central.WaitFor(kPrefix + "reply/" + id);
  if (!reply) return -1;
  if (reply_payload) *reply_payload = reply->payload;
  return std::chrono::duration<double>(reply->at - sent).count();
}

// 2. Door-opens at random instants on a polling line of eight.
void DoorOpenLatency(const BrokerProcess& broker, const std::string& dir, int samples) {
  const Exchanges exchanges = TimeExchanges(samples / 4 + 10);
  auto bus = StartBus(8, true);
  TestClient central({"bench-central", false, "", "", ""});
  if (!bus || !central.Connect(broker.port()) || !central.Subscribe(kPrefix + "reply/#") ||
      !central.Subscribe(kPrefix + "+/events")) {
    std::fprintf(stderr, "door-open: no line or no client\n");
    std::exit(1);
  }
  SiteOnMqtt daemon(BenchSite(dir + "/doors.db", {bus->device_name()}, 8), broker.port());
  daemon.Start();
  // Every controller's history collected first: the line then only polls.
  const size_t history = EventsIn(*bus, 8);
  central.WaitUntil([&](auto& m) { return CountEvents(m) >= history; }, 60000);
  std::mt19937 random(7);
  std::vector<double> floor, latency;
  int refused = 0;
  // Floor: a controller the site does not have is answered by the MQTT
  // side alone, with no line involved.
  for (int i = 0; i < samples / 4 + 10; ++i) {
    floor.push_back(DoorOpen(central, "f" + std::to_string(i), "nobody"));
  }
  for (int i = 0; i < samples; ++i) {
    Sleep(static_cast<double>(random() % 700) / 1000.0);
    std::string reply;
    const std::string controller = "L1C" + std::to_string(1 + random() % 8);
    const double seconds = DoorOpen(central, "d" + std::to_string(i), controller, &reply);
    if (seconds < 0 || reply.find("\"name\":\"OK\"") == std::string::npos) ++refused;
    if (seconds >= 0) latency.push_back(seconds);
  }
  // The worker looks at its queue between two polling turns, and a turn
  // yields after its look and between two records: a request waits for the
  // exchange in progress at most (a look, or a record read when events
  // came: a door-open logs one).
  const double look = Quantile(exchanges.look, 0.99);
  const double read = Quantile(exchanges.read, 0.99);
  const double open = Quantile(exchanges.open, 0.99);
  const double step = std::max(look, read);
  const double p99 = Quantile(latency, 0.99);
  std::printf("\n| door-open on a line of 8 paced controllers, poll 500 ms | ms |\n|---|---|\n");
  std::printf("| look exchange (device values), p99 | %.1f |\n", look * 1000);
  std::printf("| single-record read exchange, p99 | %.1f |\n", read * 1000);
  std::printf("| door-open exchange, p99 | %.1f |\n", open * 1000);
  std::printf("| scheduler step = the longer of look and read | %.1f |\n", step * 1000);
  std::printf("| bound = step + door-open exchange | %.1f |\n", (step + open) * 1000);
  std::printf("| MQTT alone (request for an unknown controller), p50 / p99 | %.1f / %.1f |\n",
              Quantile(floor, 0.5) * 1000, Quantile(floor, 0.99) * 1000);
  std::printf("| publish to reply, p50 / p90 (%zu requests) | %.1f / %.1f |\n", latency.size(),
              Quantile(latency, 0.5) * 1000, Quantile(latency, 0.9) * 1000);
  const double mqtt = Quantile(floor, 0.99);
  std::printf(
      "| publish to reply, p99 | %.1f (%.2f of the bound; %.2f of the bound plus the MQTT "
      "path's own p99) |\n",
      p99 * 1000, p99 / (step + open), p99 / (step + open + mqtt));
  if (refused > 0) std::printf("| requests not answered OK | %d |\n", refused);
}

std::vector<std::unique_ptr<VirtualBus>> StartLines(int lines, int per_line) {
  std::vector<std::unique_ptr<VirtualBus>> buses;
  for (int l = 0; l < lines; ++l) {
    buses.push_back(StartBus(per_line, false));
    if (!buses.back()) {
      std::fprintf(stderr, "no virtual line\n");
      std::exit(1);
    }
  }
  return buses;
}

// The site alone in a child process: JOURNAL BROKER_PORT PER_LINE DEVICE...
std::unique_ptr<ChildProcess> StartSiteChild(
    const std::string& journal, int broker_port, int per_line,
    const std::vector<std::unique_ptr<VirtualBus>>& buses) {
  std::vector<std::string> args = {"--site-child", journal, std::to_string(broker_port),
                                   std::to_string(per_line)};
  for (const auto& bus : buses) args.push_back(bus->device_name());
  auto child = std::make_unique<ChildProcess>(args);
  std::string ready;
  if (!child->running() || !child->ReadLine(ready) || ready != "ready") {
    std::fprintf(stderr, "the site's child process did not start\n");
    std::exit(1);
  }
  return child;
}

uint64_t Requests(const std::vector<std::unique_ptr<VirtualBus>>& buses) {
  uint64_t total = 0;
  for (const auto& bus : buses) total += bus->request_count();
  return total;
}

struct IdleFigure {
  double cpu_share;  // of one core
  double exchanges_per_s;
  int64_t rss_kb;
};

// The child's CPU over `window` seconds once its controllers were all seen.
IdleFigure IdleCpu(int broker_port, const std::string& journal, double window) {
  const auto buses = StartLines(8, 16);
  auto child = StartSiteChild(journal, broker_port, 16, buses);
  Sleep(2);  // first looks and the controllers' history collected
  const uint64_t requests = Requests(buses);
  const double cpu = child->CpuSeconds();
  const Clock::time_point t0 = Clock::now();
  Sleep(window);
  const double elapsed = SecondsSince(t0);
  IdleFigure out{100 * (child->CpuSeconds() - cpu) / elapsed,
                 static_cast<double>(Requests(buses) - requests) / elapsed,
                 child->StatusKb("VmRSS")};
  child->Finish();
  return out;
}

// 3. Idle polling of 8 lines x 16 controllers, without and with MQTT.
void IdleCpuFigure(const BrokerProcess& broker, const std::string& dir, double window) {
  TestClient watcher({"bench-watcher", false, "", "", ""});
  watcher.Connect(broker.port());
  watcher.Subscribe(kPrefix + "status");
  const IdleFigure alone = IdleCpu(0, dir + "/idle-alone.db", window);
  const IdleFigure mqtt = IdleCpu(broker.port(), dir + "/idle-mqtt.db", window);
  const bool seen_online = watcher.WaitUntil([](auto& all) {
    return std::any_of(all.begin(), all.end(),
                       [](const Received& m) { return m.payload == "online"; });
  });
  std::printf("\n| idle polling, 8 lines x 16 controllers, poll 500 ms, %.0f s window |", window);
  std::printf(" %% of a core | exchanges/s | VmRSS MB |\n|---|---|---|---|\n");
  std::printf("| site alone (floor) | %.2f | %.0f | %.1f |\n", alone.cpu_share,
              alone.exchanges_per_s, static_cast<double>(alone.rss_kb) / 1024);
  std::printf("| site on MQTT%s | %.2f (target < 5) | %.0f | %.1f |\n",
              seen_online ? ", connected" : ", NOT seen online", mqtt.cpu_share,
              mqtt.exchanges_per_s, static_cast<double>(mqtt.rss_kb) / 1024);
}

int64_t JournaledEvents(sqlite3* db) {
  sqlite3_stmt* statement = nullptr;
  int64_t count = 0;
  if (sqlite3_prepare_v2(db, "SELECT max(id) FROM events", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    count = sqlite3_column_int64(statement, 0);
  }
  sqlite3_finalize(statement);
  return count;
}

// Unread events kept in each log: enough that they drain by blocks. Topping
// up follows the read position, which catches up (one move per record)
// after the blocks were journaled; meanwhile nothing new is logged.
constexpr size_t kUnreadKept = 500;

// Keeps up to `unread` events waiting in every controller's log until
// `remaining` more were logged; returns how many this call logged. Each
// event carries its own number: no two records are alike.
int64_t TopUp(const std::vector<std::unique_ptr<VirtualBus>>& buses, int per_line, size_t unread,
              int64_t first, int64_t remaining) {
  int64_t logged = 0;
  for (const auto& bus : buses) {
    for (int a = 1; a <= per_line && logged < remaining; ++a) {
      bus->WithController(static_cast<uint8_t>(a), [&](zarvo::sim::ControllerState& s) {
        const size_t waiting = s.events.records().size() - s.events.position();
        for (size_t i = waiting; i < unread && logged < remaining; ++i, ++logged) {
          s.LogEvent(zarvo::sim::kEventCardPresented, 1, static_cast<uint32_t>(first + logged), 0);
        }
      });
    }
  }
  return logged;
}

// 4. RSS of 4 lines x 16 controllers on MQTT, and the heap in use while
// `events` are collected through it (unpaced lines, journal in memory).
void MemoryFigure(const BrokerProcess& broker, int64_t events) {
  char pattern[] = "/dev/shm/zarvod-mqtt-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern) ? pattern : "/tmp";
  const std::string journal = dir + "/heap.db";
  const auto buses = StartLines(4, 16);
  auto child = StartSiteChild(journal, broker.port(), 16, buses);
  Sleep(3);
  const int64_t idle_rss = child->StatusKb("VmRSS");
  sqlite3* db = nullptr;
  sqlite3_open_v2(journal.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  const int64_t history = JournaledEvents(db);
  const int64_t step = std::max<int64_t>(1, events / 10);
  std::vector<std::pair<int64_t, int64_t>> samples;  // events, heap bytes
  int64_t logged = 0;
  const Clock::time_point t0 = Clock::now();
  // Until every event is journaled, or none more was for 30 s.
  int64_t done = 0;
  Clock::time_point progress = Clock::now();
  while (samples.size() < 10 && SecondsSince(progress) < 30) {
    logged += TopUp(buses, 16, kUnreadKept, logged, events - logged);
    const int64_t now_done = JournaledEvents(db) - history;
    if (now_done > done) progress = Clock::now();
    done = now_done;
    if (done >= step * static_cast<int64_t>(samples.size() + 1)) {
      std::string reply;
      child->Send("heap", &reply);
      samples.emplace_back(done, std::atoll(reply.c_str() + 5));
    } else {
      Sleep(0.02);
    }
  }
  const double seconds = SecondsSince(t0);
  if (done != events) {
    std::printf("\n%lld of %lld events logged were journaled\n", static_cast<long long>(done),
                static_cast<long long>(events));
  }
  const int64_t rss = child->StatusKb("VmRSS"), hwm = child->StatusKb("VmHWM");
  sqlite3_close(db);
  child->Finish();
  std::filesystem::remove_all(dir);
  std::printf("\n| 4 lines x 16 controllers on MQTT, %lld events collected (unpaced) | |\n",
              static_cast<long long>(events));
  std::printf("|---|---|\n| VmRSS idle, before the events | %.1f MB |\n",
              static_cast<double>(idle_rss) / 1024);
  std::printf("| VmRSS after / VmHWM | %.1f / %.1f MB (target < 30) |\n",
              static_cast<double>(rss) / 1024, static_cast<double>(hwm) / 1024);
  std::printf("| collection rate | %.0f events/s (%.0f s) |\n",
              static_cast<double>(events) / seconds, seconds);
  for (const auto& [count, heap] : samples) {
    std::printf("| heap in use at %lld events | %.2f MB |\n", static_cast<long long>(count),
                static_cast<double>(heap) / 1048576);
  }
  // From 100 k events on (half the run in a shorter one): SQLite's page
  // cache fills within the first 20 k.
  const auto from = std::find_if(samples.begin(), samples.end(), [&](const auto& sample) {
    return sample.first >= std::min<int64_t>(100000, events / 2);
  });
  if (from != samples.end()) {
    std::printf("| heap growth, %lld events to the last | %+.1f kB |\n",
                static_cast<long long>(from->first),
                static_cast<double>(samples.back().second - from->second) / 1024);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--site-child") {
    return zarvod::bench::RunSiteChild({args.begin() + 1, args.end()});
  }
  const bool quick = std::find(args.begin(), args.end(), "--quick") != args.end();
  int64_t events = quick ? 50000 : 1000000;
  const auto n = std::find(args.begin(), args.end(), "--events");
  if (n != args.end() && n + 1 != args.end()) events = std::atoll((n + 1)->c_str());
  zarvod::SetLogThreshold(zarvod::LogLevel::kWarning);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as it is measured

  // Without it the broker holds a reply behind its own unacknowledged
  // PUBACK to the requester until a delayed ACK (about 40 ms) frees it.
  BrokerProcess broker("set_tcp_nodelay true", "error warning notice information");
  if (!broker.Start()) {
    std::fprintf(stderr, "mosquitto did not start\n");
    return 1;
  }
  char pattern[] = "/tmp/zarvod-mqtt-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern) ? pattern : "/tmp";
  const auto only = std::find(args.begin(), args.end(), "--only");
  const auto wanted = [&](const char* figure) {
    return only == args.end() || (only + 1 != args.end() && *(only + 1) == figure);
  };
  if (wanted("backlog")) BacklogToSubscriber(broker, dir, quick ? 64 : 384);
  if (wanted("doors")) DoorOpenLatency(broker, dir, quick ? 20 : 150);
  if (wanted("idle")) IdleCpuFigure(broker, dir, quick ? 3 : 20);
  if (wanted("memory")) MemoryFigure(broker, events);
  std::filesystem::remove_all(dir);
  return 0;
}
