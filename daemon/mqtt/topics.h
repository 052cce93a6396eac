// Topic names under the site's prefix ("zarvo/<site>/" unless configured).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zarvo::mqtt {

class Topics {
 public:
  explicit Topics(std::string prefix) : prefix_(std::move(prefix)) {}

  const std::string& prefix() const { return prefix_; }
  std::string SiteStatus() const { return prefix_ + "status"; }
  std::string ControllerStatus(const std::string& controller) const {
    return prefix_ + controller + "/status";
  }
  std::string Events(const std::string& controller) const {
    return prefix_ + controller + "/events";
  }
  std::string CommandFilter() const { return prefix_ + "cmd/+"; }
  std::string Reply(const std::string& request_id) const { return prefix_ + "reply/" + request_id; }
  // "door.open" for "<prefix>cmd/door.open"; nothing for any other topic,
  // nor for the events and status of a controller named "cmd".
  std::optional<std::string> CommandName(const std::string& topic) const;

 private:
  std::string prefix_;
};

// A controller name or request id that can stand as one topic level.
bool IsTopicLevel(const std::string& text);

// A name as letters, digits and '-' only, for ids and topic levels that
// allow no more (Home Assistant's). Different names give different slugs:
// '-' becomes "--" and every other byte "-" and two hex digits, so no slug
// holds '_' and "<site>_<controller>" cannot be split two ways.
std::string Slug(const std::string& name);

// What keeps a site's controller names from standing in topics, each a
// sentence naming the controller: empty, '/', '+', '#' or NUL, longer
// than 128 bytes, a topic level the site uses itself ("cmd", "reply",
// "status"), or given twice. For the site file's checks.
std::vector<std::string> ControllerNameFaults(const std::vector<std::string>& names);

}  // namespace zarvo::mqtt
