// Card changes made on a controller by other means than `acl apply` (a
// remote command), recorded like apply's own: a card on a controller that
// the record does not know could never be revoked by a card list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "card_list_store.h"
#include "site_layout.h"

namespace zarvod::cards {

struct OutsideChange {
  CardChange change;   // kAdd for a write (whatever was there before), or kRemove
  int32_t result = 0;  // the controller's answer
};

// Journals the changes as one run of `source` (e.g. "mqtt:card.add") and
// updates what is written on `controller`, as apply does for its own.
void RecordOutsideChanges(CardListStore& store, const std::string& source,
                          const ControllerRef& controller,
                          const std::vector<OutsideChange>& changes);

}  // namespace zarvod::cards
