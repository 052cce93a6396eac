// One card entry to and from a controller, through the line API.
#pragma once

#include <cstdint>

#include "card_entry.h"
#include "zarvoac.h"

namespace zarvod::cards {

int32_t WriteCard(ZarvoLine* line, int32_t address, const CardEntry& entry);
int32_t DeleteCard(ZarvoLine* line, int32_t address, const CardKey& key);
// Reads the entry `key` names into `out`. The controller does not say
// which write command registered a card, so out.flagged stays false.
int32_t ReadCard(ZarvoLine* line, int32_t address, const CardKey& key, CardEntry& out);
// A single card's entry from the library's record of it (PIN in upper case).
CardEntry EntryFromRecord(const CardRecord& record);

}  // namespace zarvod::cards
