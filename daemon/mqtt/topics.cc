#include "topics.h"

#include <set>

namespace zarvo::mqtt {

std::optional<std::string> Topics::CommandName(const std::string& topic) const {
  const std::string head = prefix_ + "cmd/";
  if (topic.size() <= head.size() || topic.compare(0, head.size(), head) != 0) return std::nullopt;
  std::string name = topic.substr(head.size());
  if (!IsTopicLevel(name) || name == "events" || name == "status") return std::nullopt;
  return name;
}

bool IsTopicLevel(const std::string& text) {
  if (text.empty() || text.size() > 128) return false;
  for (char c : text) {
    if (c == '/' || c == '+' || c == '#' || c == '\0') return false;
  }
  return true;
}

std::string Slug(const std::string& name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string slug;
  for (const char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      slug += c;
    } else if (c == '-') {
      slug += "--";
    } else {
      const auto byte = static_cast<unsigned char>(c);
      slug += '-';
      slug += kHex[byte >> 4];
      slug += kHex[byte & 15];
    }
  }
  return slug;
}

std::vector<std::string> ControllerNameFaults(const std::vector<std::string>& names) {
  std::vector<std::string> faults;
  std::set<std::string> seen;
  for (const std::string& name : names) {
    if (!IsTopicLevel(name)) {
      faults.push_back("controller name '" + name +
                       "' cannot be a topic level: 1 to 128 bytes without '/', '+', '#' or NUL");
    } else if (name == "cmd" || name == "reply" || name == "status") {
      faults.push_back("controller name '" + name + "' is a topic level the site uses itself");
    }
    if (!seen.insert(name).second) faults.push_back("controller name '" + name + "' given twice");
  }
  return faults;
}

}  // namespace zarvo::mqtt
