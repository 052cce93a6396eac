// A site for the MQTT tests: two virtual controllers on one line ("front"
// at address 1 with doors "main" and "side", "back" at 2 with "gate"), a
// command queue run by one worker thread as the site's would be, the
// in-memory outbox and command journal, and a clock the test can move.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "broker_process.h"
#include "memory_ports.h"
#include "mqtt_service.h"
#include "test_client.h"
#include "virtual_bus.h"

namespace zarvo::mqtt::testing {

class TestClock final : public Clock {
 public:
  int64_t NowMs() override { return system_.NowMs() + offset_ms_.load(); }
  void Advance(int64_t ms) { offset_ms_ += ms; }

 private:
  SystemClock system_;
  std::atomic<int64_t> offset_ms_{0};
};

class TestSite final : public SiteDirectory, public CommandRunner {
 public:
  TestSite();
  ~TestSite() override;

  std::vector<ControllerInfo> Controllers() override;
  std::vector<std::string> FormerControllers() override;
  void SetListener(std::function<void(const ControllerInfo&)> changed) override;
  bool Submit(RemoteCommand command) override;

  // While held, the worker takes no command from the queue.
  void Hold(bool held);
  // Waits until `count` commands wait in the queue.
  bool WaitQueued(size_t count);
  void SetOnline(const std::string& controller, bool online);
  // Drops a controller from the site, as a site file edited between runs.
  void Remove(const std::string& controller);
  int actions_run() const { return actions_run_; }
  // Waits until `count` actions have been carried out on the line.
  bool WaitActions(int count);
  sim::VirtualBus& bus() { return bus_; }

 private:
  struct Job {
    int32_t address;
    LineAction action;
    std::function<void(int32_t)> done;
  };
  void Work();

  sim::VirtualBus bus_{{1, 2}};
  ZarvoLine* line_ = nullptr;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> queue_;
  bool held_ = false;
  bool stopping_ = false;
  std::atomic<int> actions_run_{0};
  std::vector<ControllerInfo> controllers_;
  std::vector<std::string> former_;
  std::function<void(const ControllerInfo&)> listener_;
  std::thread worker_;
};

OutboxEvent MakeEvent(const std::string& controller, uint64_t sequence);

// The fixture every MQTT test shares: a broker, a site, and the daemon's
// MQTT side over them, started on demand with the settings a test wants.
class MqttTest : public ::testing::Test {
 protected:
  explicit MqttTest(std::string broker_config = "") : broker_(std::move(broker_config)) {}
  void SetUp() override { ASSERT_TRUE(broker_.Start()); }

  MqttSettings Settings(const std::string& site = "hq") const;
  // Starts the MQTT side and waits until the site says "online", which it
  // publishes once it has subscribed to its commands.
  MqttService& StartService(const MqttSettings& settings);
  void WaitOnline(const MqttSettings& settings);
  std::unique_ptr<TestClient> Client(const std::string& id, bool persistent = false);
  // Publishes a command and waits for its reply on the reply topic.
  std::optional<Received> Command(TestClient& client, const std::string& name,
                                  const std::string& payload, const PublishOptions& = {},
                                  const std::string& site = "hq");

  BrokerProcess broker_;
  TestSite site_;
  MemoryOutbox outbox_;
  MemoryCommandJournal journal_;
  TestClock clock_;
  std::unique_ptr<MqttService> service_;
};

}  // namespace zarvo::mqtt::testing
