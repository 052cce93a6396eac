#include "stats_report.h"

#include <cstdio>
#include <iostream>

#include "tool.h"

namespace zarvoctl {
namespace {

struct Counter {
  const char* name;
  uint32_t ZarvoLineStats::*field;
};

constexpr Counter kCounters[] = {
    {"exchanges", &ZarvoLineStats::exchanges},
    {"successes", &ZarvoLineStats::successes},
    {"refusals", &ZarvoLineStats::refusals},
    {"no_reply", &ZarvoLineStats::noReply},
    {"no_start_byte", &ZarvoLineStats::noStartByte},
    {"mismatches", &ZarvoLineStats::mismatches},
    {"not_open", &ZarvoLineStats::notOpen},
    {"too_long", &ZarvoLineStats::tooLong},
    {"silences", &ZarvoLineStats::silences},
    {"links_lost", &ZarvoLineStats::linksLost},
    {"noise_bytes", &ZarvoLineStats::noiseBytes},
    {"bad_byte_frames", &ZarvoLineStats::badByteFrames},
    {"echoes_stripped", &ZarvoLineStats::echoesStripped},
    {"reconnects", &ZarvoLineStats::reconnects},
};

}  // namespace

Json StatsJson(const ZarvoLineStats& stats) {
  Json json = Json::Object();
  for (const Counter& c : kCounters) json.Set(c.name, stats.*c.field);
  return json;
}

std::string StatsText(const ZarvoLineStats& stats) {
  std::string text;
  for (const Counter& c : kCounters) {
    const uint32_t value = stats.*c.field;
    if (value == 0 && c.field != &ZarvoLineStats::exchanges) continue;
    char row[64];
    std::snprintf(row, sizeof row, "  %-16s %u\n", c.name, value);
    text += row;
  }
  return text;
}

void Tool::PrintStats() const {
  ZarvoLineStats stats{};
  Zarvo_LineStats(Zarvo_DefaultLine(), &stats, 0);
  if (options_.json) {
    Json json = Json::Object();
    json.Set("stats", StatsJson(stats));
    std::cout << json.Dump() << "\n" << std::flush;
  } else {
    std::cerr << "line counters:\n" << StatsText(stats) << std::flush;
  }
}

}  // namespace zarvoctl
