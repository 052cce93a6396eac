#include "topics.h"

namespace zarvo::mqtt {

std::optional<std::string> Topics::CommandName(const std::string& topic) const {
  const std::string head = prefix_ + "cmd/";
  if (topic.size() <= head.size() || topic.compare(0, head.size(), head) != 0) return std::nullopt;
  std::string name = topic.substr(head.size());
  if (!IsTopicLevel(name)) return std::nullopt;
  return name;
}

bool IsTopicLevel(const std::string& text) {
  if (text.empty() || text.size() > 128) return false;
  for (char c : text) {
    if (c == '/' || c == '+' || c == '#' || c == '\0') return false;
  }
  return true;
}

}  // namespace zarvo::mqtt
