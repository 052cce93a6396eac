// The JSON of what the daemon publishes: events, controller status, replies.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "site_ports.h"

namespace zarvo::mqtt {

std::string EventId(const std::string& site, const OutboxEvent& event);
std::string EventPayload(const std::string& site, const OutboxEvent& event);
std::string ControllerStatusPayload(const ControllerInfo& controller);

struct Reply {
  std::string request_id;  // may be empty when the request had none
  std::string command;
  int32_t result = 0;
  std::string error;    // why it was refused, for a person to read
  nlohmann::json data;  // what a read returned; null when nothing
};
std::string ReplyPayload(const Reply& reply);

// "2026-12-07T17:03:04.250Z" for Unix milliseconds.
std::string Rfc3339Utc(int64_t unix_ms);
// Unix milliseconds of "YYYY-MM-DDTHH:MM:SS[.fff]Z"; false for anything else.
bool ParseRfc3339Utc(const std::string& text, int64_t& unix_ms);

}  // namespace zarvo::mqtt
