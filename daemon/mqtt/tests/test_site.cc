#include "test_site.h"

#include <nlohmann/json.hpp>

#include "reply_codes.h"

namespace zarvo::mqtt::testing {

TestSite::TestSite() {
  controllers_ = {{"front", "line1", 1, {"main", "side"}, true, "", 0},
                  {"back", "line1", 2, {"gate"}, true, "", 0}};
  if (bus_.Start()) {
    line_ = Zarvo_LineCreate();
    // Extra patience for a reply: these tests run beside builds, and a late
    // reply from the virtual controllers is not what they are about.
    Zarvo_LineOpenCom(line_, (bus_.device_name() + "?wait=300").c_str(), 9600);
  }
  worker_ = std::thread([this] { Work(); });
}

TestSite::~TestSite() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
  Zarvo_LineDestroy(line_);
  bus_.Stop();
}

std::vector<ControllerInfo> TestSite::Controllers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return controllers_;
}

std::vector<std::string> TestSite::FormerControllers() {
  std::lock_guard<std::mutex> lock(mutex_);
  return former_;
}

void TestSite::Remove(const std::string& controller) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(controllers_, [&](const ControllerInfo& c) { return c.name == controller; });
  former_.push_back(controller);
}

void TestSite::SetListener(std::function<void(const ControllerInfo&)> changed) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(changed);
}

void TestSite::SetOnline(const std::string& controller, bool online) {
  ControllerInfo changed;
  std::function<void(const ControllerInfo&)> listener;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ControllerInfo& c : controllers_) {
      if (c.name != controller) continue;
      c.online = online;
      c.version = "V5.21";
      c.last_seen_ms = 1796637600000;
      changed = c;
    }
    listener = listener_;
  }
  if (listener) listener(changed);
}

bool TestSite::Submit(RemoteCommand command) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const ControllerInfo& c : controllers_) {
    if (c.name != command.controller) continue;
    queue_.push_back({c.address, std::move(command.action), std::move(command.done)});
    wake_.notify_all();
    return true;
  }
  return false;
}

void TestSite::Hold(bool held) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = held;
  }
  wake_.notify_all();
}

bool TestSite::WaitQueued(size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, std::chrono::seconds(10), [&] { return queue_.size() >= count; });
}

bool TestSite::WaitActions(int count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, std::chrono::seconds(10), [&] { return actions_run_ >= count; });
}

void TestSite::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || (!held_ && !queue_.empty()); });
    if (stopping_) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const int32_t result = job.action(line_, job.address);
    job.done(result);
    lock.lock();
    if (result != kExpired) ++actions_run_;
    wake_.notify_all();
  }
}

OutboxEvent MakeEvent(const std::string& controller, uint64_t sequence) {
  OutboxEvent e;
  e.controller = controller;
  e.sequence = sequence;
  e.line = "line1";
  e.number1 = "00012345";
  e.number2 = "00000000";
  e.value1 = 1;
  e.value2 = 2;
  e.controller_time = "2026-12-07T10:00:00";
  e.received_ms = 1796637600123;
  e.raw_hex = "00112233445566778899aabbccddeeff";
  return e;
}

MqttSettings MqttTest::Settings(const std::string& site) const {
  MqttSettings s;
  s.site = site;
  s.host = "127.0.0.1";
  s.port = broker_.port();
  return s;
}

MqttService& MqttTest::StartService(const MqttSettings& settings) {
  service_ = std::make_unique<MqttService>(settings, site_, outbox_, site_, journal_, clock_);
  std::string error;
  EXPECT_TRUE(service_->Start(error)) << error;
  WaitOnline(settings);
  return *service_;
}

void MqttTest::WaitOnline(const MqttSettings& settings) {
  TestClient watcher(ClientOptions{"", false, "", "", ""});
  // On the fixture's broker: a site on a broker bridged to it shows there too.
  ASSERT_TRUE(watcher.Connect(broker_.port()));
  watcher.Subscribe(settings.EffectivePrefix() + "status");
  EXPECT_TRUE(
      watcher.WaitUntil([](auto& all) { return !all.empty() && all.back().payload == "online"; }));
}

std::unique_ptr<TestClient> MqttTest::Client(const std::string& id, bool persistent) {
  auto client = std::make_unique<TestClient>(ClientOptions{id, persistent, "", "", ""});
  EXPECT_TRUE(client->Connect(broker_.port()));
  return client;
}

std::optional<Received> MqttTest::Command(TestClient& client, const std::string& name,
                                          const std::string& payload, const PublishOptions& options,
                                          const std::string& site) {
  const auto request = nlohmann::json::parse(payload);
  const std::string reply_topic = "zarvo/" + site + "/reply/" + request.value("id", "");
  client.Subscribe(reply_topic);
  EXPECT_EQ(client.Publish("zarvo/" + site + "/cmd/" + name, payload, options), 0);
  return client.WaitFor(reply_topic);
}

}  // namespace zarvo::mqtt::testing
