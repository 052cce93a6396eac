#include "mqtt_site.h"

namespace zarvo::mqtt {
namespace {

MqttSettings ForSite(MqttSettings settings, const std::string& site) {
  if (settings.site.empty()) settings.site = site;
  return settings;
}

}  // namespace

void MqttSite::RegisterMigrations() { zarvod::AddMigrations(MqttMigrations()); }

MqttSite::MqttSite(const MqttSettings& settings, const zarvod::SiteConfig& config,
                   zarvod::Journal& journal, zarvod::Site& site)
    : watch_(journal),
      outbox_(journal, watch_, config.event_kinds),
      commands_(journal, config.journal.retention_days),
      runner_(site),
      directory_(config, journal, watch_),
      service_(std::make_unique<MqttService>(ForSite(settings, config.site), directory_, outbox_,
                                             runner_, commands_, clock_)) {}

MqttSite::~MqttSite() { service_->Stop(); }

}  // namespace zarvo::mqtt
