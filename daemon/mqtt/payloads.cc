#include "payloads.h"

#include <chrono>
#include <cstdio>

#include "reply_codes.h"

namespace zarvo::mqtt {

using nlohmann::json;

std::string EventId(const std::string& site, const OutboxEvent& event) {
  return site + "/" + event.controller + "/" + std::to_string(event.sequence);
}

std::string EventPayload(const std::string& site, const OutboxEvent& event) {
  json j = {{"id", EventId(site, event)},
            {"site", site},
            {"controller", event.controller},
            {"sequence", event.sequence},
            {"line", event.line},
            {"number1", event.number1},
            {"number2", event.number2},
            {"value1", event.value1},
            {"value2", event.value2},
            {"time", event.controller_time},
            {"received", Rfc3339Utc(event.received_ms)},
            {"raw", event.raw_hex}};
  if (!event.kind.empty()) j["kind"] = event.kind;
  if (event.door > 0) j["door"] = event.door;
  if (!event.direction.empty()) j["direction"] = event.direction;
  return j.dump();
}

std::string ControllerStatusPayload(const ControllerInfo& controller) {
  json j = {
      {"state", controller.online ? "online" : "offline"},
      {"version", controller.version},
      {"last_seen",
       controller.last_seen_ms == 0 ? json(nullptr) : json(Rfc3339Utc(controller.last_seen_ms))}};
  return j.dump();
}

std::string ReplyPayload(const Reply& reply) {
  json j = {{"id", reply.request_id},
            {"command", reply.command},
            {"result", reply.result},
            {"name", ReplyCodeName(reply.result)}};
  if (!reply.error.empty()) j["error"] = reply.error;
  if (!reply.data.is_null()) j["data"] = reply.data;
  return j.dump();
}

std::string Rfc3339Utc(int64_t unix_ms) {
  using namespace std::chrono;
  const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(unix_ms)));
  const year_month_day ymd(day);
  const int64_t in_day = unix_ms - duration_cast<milliseconds>(day.time_since_epoch()).count();
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), static_cast<long long>(in_day / 3600000),
                static_cast<long long>(in_day / 60000 % 60),
                static_cast<long long>(in_day / 1000 % 60), static_cast<long long>(in_day % 1000));
  return text;
}

bool ParseRfc3339Utc(const std::string& text, int64_t& unix_ms) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &consumed) !=
          6 ||
      consumed != 19) {
    return false;
  }
  int ms = 0;
  size_t at = 19;
  if (at < text.size() && text[at] == '.') {
    int digits = 0;
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
      if (digits < 3) ms = ms * 10 + (text[at] - '0');
    }
    if (digits == 0) return false;
    for (; digits < 3; ++digits) ms *= 10;
  }
  if (at + 1 != text.size() || text[at] != 'Z') return false;
  using namespace std::chrono;
  const year_month_day ymd{year(y), month(static_cast<unsigned>(mo)),
                           day(static_cast<unsigned>(d))};
  if (!ymd.ok() || h > 23 || mi > 59 || s > 60) return false;
  unix_ms = duration_cast<milliseconds>(sys_days(ymd).time_since_epoch()).count() +
            ((h * 60LL + mi) * 60 + s) * 1000 + ms;
  return true;
}

}  // namespace zarvo::mqtt
