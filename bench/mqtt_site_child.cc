#include "mqtt_site_child.h"

#include <malloc.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "journal/journal.h"
#include "log/log.h"
#include "mqtt_site.h"
#include "site/site.h"

namespace zarvod::bench {

SiteConfig BenchSite(const std::string& journal_path, const std::vector<std::string>& devices,
                     int per_line) {
  SiteConfig config;
  config.site = "bench";
  config.journal.path = journal_path;
  for (size_t l = 0; l < devices.size(); ++l) {
    LineConfig line{"line" + std::to_string(l + 1), devices[l], 9600, {}};
    for (int a = 1; a <= per_line; ++a) {
      line.controllers.push_back(
          {a, "L" + std::to_string(l + 1) + "C" + std::to_string(a), {"front", "back"}});
    }
    config.lines.push_back(std::move(line));
  }
  return config;
}

int RunSiteChild(const std::vector<std::string>& args) {
  if (args.size() < 4) return 2;
  const std::vector<std::string> devices(args.begin() + 3, args.end());
  const SiteConfig config = BenchSite(args[0], devices, std::stoi(args[2]));
  const int broker_port = std::stoi(args[1]);
  SetLogThreshold(LogLevel::kWarning);
  if (broker_port > 0) zarvo::mqtt::MqttSite::RegisterMigrations();
  std::string error;
  std::unique_ptr<Journal> journal = Journal::Open(config.journal.path, error);
  if (!journal) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  Site site(config, *journal);
  site.Start();
  std::unique_ptr<zarvo::mqtt::MqttSite> mqtt;
  if (broker_port > 0) {
    zarvo::mqtt::MqttSettings settings;
    settings.port = broker_port;
    mqtt = std::make_unique<zarvo::mqtt::MqttSite>(settings, config, *journal, site);
    if (!mqtt->Start(error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
  }
  std::cout << "ready" << std::endl;
  std::string request;
  while (std::getline(std::cin, request)) {
    if (request == "heap") std::cout << "heap " << mallinfo2().uordblks << std::endl;
  }
  if (mqtt) mqtt->Stop();
  site.Stop();
  return 0;
}

}  // namespace zarvod::bench
