#include "site_layout.h"

#include <algorithm>

namespace zarvod::cards {

const ControllerRef* SiteLayout::Find(const std::string& name) const {
  for (const ControllerRef& c : controllers) {
    if (c.name == name || c.line + "/" + std::to_string(c.address) == name) return &c;
  }
  return nullptr;
}

bool SiteLayout::Resolve(const std::string& target, std::vector<const ControllerRef*>& out) const {
  if (const ControllerRef* c = Find(target)) {
    out.push_back(c);
    return true;
  }
  if (const auto group = groups.find(target); group != groups.end()) {
    for (const std::string& name : group->second) {
      if (const ControllerRef* c = Find(name)) out.push_back(c);
    }
    return true;
  }
  bool found = false;
  for (const ControllerRef& c : controllers) {
    if (target == "*" || c.line == target) {
      out.push_back(&c);
      found = true;
    }
  }
  return found;
}

std::vector<std::string> SiteLayout::Lines() const {
  std::vector<std::string> lines;
  for (const ControllerRef& c : controllers) {
    if (std::find(lines.begin(), lines.end(), c.line) == lines.end()) lines.push_back(c.line);
  }
  return lines;
}

}  // namespace zarvod::cards
