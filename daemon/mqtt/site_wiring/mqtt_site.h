// Everything the daemon's `run` (and `--sim`) needs to put its site on
// MQTT, in one object: register the migrations before the journal opens,
// then make an MqttSite once the site runs, and Start it.
#pragma once

#include <memory>
#include <string>

#include "journal_outbox.h"
#include "mqtt_service.h"
#include "site_adapters.h"

namespace zarvo::mqtt {

class MqttSite {
 public:
  // Call before zarvod::Journal::Open.
  static void RegisterMigrations();

  MqttSite(const MqttSettings& settings, const zarvod::SiteConfig& config, zarvod::Journal& journal,
           zarvod::Site& site);
  ~MqttSite();

  // False, with the reason, when the broker settings cannot work: the
  // daemon then stops at start.
  bool Start(std::string& error) { return service_->Start(error); }
  void Stop() { service_->Stop(); }

 private:
  SystemClock clock_;
  JournalWatch watch_;
  JournalOutbox outbox_;
  JournalCommandLog commands_;
  SiteCommandRunner runner_;
  JournalSiteDirectory directory_;
  std::unique_ptr<MqttService> service_;
};

}  // namespace zarvo::mqtt
