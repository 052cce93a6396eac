// The controllers of a site as the card lists see them: a unique name, the
// line it is on and its bus address, and named groups of controllers. Built
// from the site's configuration.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zarvod::cards {

struct ControllerRef {
  std::string name;  // unique on the site
  std::string line;  // name of the line it is on; with the address, where its cards are kept
  int32_t address = 0;
};

struct SiteLayout {
  std::vector<ControllerRef> controllers;
  // Group name -> its controllers, by name or as "line/address".
  std::map<std::string, std::vector<std::string>> groups;

  // The controller called `name`, or at "line/address".
  const ControllerRef* Find(const std::string& name) const;
  // The controllers a CSV target names: "*" every controller, a controller
  // (by name or "line/address"), a group, or a line (every controller on it).
  // False when the name is none of these.
  bool Resolve(const std::string& target, std::vector<const ControllerRef*>& out) const;
  // Names of the lines, each once, in order of first appearance.
  std::vector<std::string> Lines() const;
};

}  // namespace zarvod::cards
