// The card-list commands (`zarvod acl diff|apply|verify`), the same whether
// the daemon runs them for a control-socket client or the command line runs
// them on lines it opened itself.
#pragma once

#include <stop_token>
#include <string>

#include "card_list_store.h"
#include "control_server.h"
#include "line_runner.h"
#include "per_line.h"
#include "site_layout.h"

namespace zarvod::control {

struct AclOutcome {
  bool ok = false;
  std::string output;  // for the user, several lines
  size_t count = 0;    // diff: changes; apply: changes not made; verify: cards drifted
};

class AclService {
 public:
  AclService(const cards::SiteLayout& site, cards::LineRunner& lines, cards::CardListStore& store)
      : site_(site), lines_(lines), store_(store) {}

  // `text` is the card-list file's content; `file_name` names it in faults.
  // A file with any fault sends nothing to any controller.
  AclOutcome Diff(const std::string& file_name, const std::string& text);
  AclOutcome Apply(const std::string& file_name, const std::string& text, std::stop_token stop,
                   const cards::ProgressFn& progress);
  AclOutcome Verify(std::stop_token stop, const cards::ProgressFn& progress);

 private:
  const cards::SiteLayout& site_;
  cards::LineRunner& lines_;
  cards::CardListStore& store_;
};

// Adds "acl.diff" and "acl.apply" ({"file": NAME, "text": CONTENT}) and
// "acl.verify" to the daemon's control commands. Progress comes as lines
// {"progress":true,"done":N,"total":M,"failed":F}; the final line carries
// "ok", "output" and "count".
void AddAclCommands(CommandTable& commands, AclService& service);

}  // namespace zarvod::control
