// Topic names under the site's prefix ("zarvo/<site>/" unless configured).
#pragma once

#include <optional>
#include <string>

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
  // "door.open" for "<prefix>cmd/door.open"; nothing for any other topic.
  std::optional<std::string> CommandName(const std::string& topic) const;

 private:
  std::string prefix_;
};

// A controller name or request id that can stand as one topic level.
bool IsTopicLevel(const std::string& text);

}  // namespace zarvo::mqtt
