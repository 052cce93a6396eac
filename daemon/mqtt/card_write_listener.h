// Cards that remote commands wrote to or deleted from a controller, told to
// the record of what each controller holds: the card lists' diff must see
// every card on a controller, or a card list could never revoke it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "zarvoac.h"

namespace zarvo::mqtt {

struct CardWrite {
  CardRecord card;
  bool deleted = false;
  int32_t result = 0;  // the controller's answer, a library result code
};

// Called on the line's thread right after a command's card exchanges, with
// the controller's name, the command's name and the cards in the order sent.
using CardWriteListener = std::function<void(
    const std::string& controller, const std::string& command, const std::vector<CardWrite>&)>;

// One listener for the process (the daemon's card store); an empty one
// stops the telling.
void SetCardWriteListener(CardWriteListener listener);

}  // namespace zarvo::mqtt
