#include <sstream>

#include "tool.h"

namespace zarvoctl {

const Command* Registry::Find(const Args& words, size_t& consumed) const {
  const Command* best = nullptr;
  size_t best_words = 0;
  for (const Command& c : commands_) {
    std::istringstream name(c.name);
    std::string part;
    size_t n = 0;
    bool match = true;
    while (name >> part) {
      if (n >= words.size() || words[n] != part) {
        match = false;
        break;
      }
      ++n;
    }
    if (match && n > best_words) {
      best = &c;
      best_words = n;
    }
  }
  consumed = best_words;
  return best;
}

std::vector<const Command*> Registry::Group(const Args& group) const {
  std::vector<const Command*> found;
  for (const Command& c : commands_) {
    std::istringstream name(c.name);
    std::string part;
    size_t n = 0;
    while (n < group.size() && name >> part && part == group[n]) ++n;
    if (!group.empty() && n == group.size()) found.push_back(&c);
  }
  return found;
}

const Registry& Commands() {
  static const Registry registry = [] {
    Registry r;
    RegisterSerialCommands(r);
    RegisterManagementCommands(r);
    RegisterEventCommands(r);
    RegisterCardCommands(r);
    RegisterTableCommands(r);
    RegisterDoorCommands(r);
    RegisterDoctorCommand(r);
    return r;
  }();
  return registry;
}

}  // namespace zarvoctl
