// Cards: add, read back and delete one card, and apply a list of them.
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "card_write_listener.h"
#include "command_catalog.h"
#include "reply_codes.h"

namespace zarvo::mqtt {
namespace {

using nlohmann::json;

constexpr size_t kMaxCardsPerList = 1000;

std::mutex listener_mutex;
CardWriteListener& Listener() {
  static CardWriteListener listener;
  return listener;
}

void TellCardWrites(const std::string& controller, const char* command,
                    const std::vector<CardWrite>& writes) {
  std::lock_guard lock(listener_mutex);
  if (Listener()) Listener()(controller, command, writes);
}

// The request's controller, already checked with the request's envelope.
std::string Controller(RequestArgs& args) { return args.Text("controller", 1, 64, nullptr); }

constexpr unsigned long long kLastCardNumber = 4294967295;

// A card number as the controller stores it: 1 to 4294967295 in decimal.
// Every command that names a card reads it here: the line would keep only
// the low 32 bits of a larger one, and then act on another card.
std::string CardNumber(RequestArgs& args) {
  const std::string number = args.Text("card", 1, 10, kDigits);
  if (args.ok() && (std::stoull(number) == 0 || std::stoull(number) > kLastCardNumber)) {
    args.Fail(args.Name("card") + " must be 1 to " + std::to_string(kLastCardNumber));
  }
  return number;
}

// 2000-01-01 to 2099-12-31, and a day the month has.
bool ReadDate(const std::string& text, CardRecord& card) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
      std::sscanf(text.c_str(), "%4d-%2d-%2d", &card.year, &card.month, &card.day) != 3) {
    return false;
  }
  using namespace std::chrono;
  const year_month_day date{year(card.year), month(static_cast<unsigned>(card.month)),
                            day(static_cast<unsigned>(card.day))};
  return card.year >= 2000 && card.year <= 2099 && card.month >= 1 && card.day >= 1 && date.ok();
}

CardRecord CardFromJson(RequestArgs& args) {
  CardRecord card{};
  const std::string number = CardNumber(args);
  const std::string pin = args.Text("pin", 6, 6, kHexDigits, "000000");
  const std::string flags = args.Text("flags", 0, 32, "01", "");
  card.value1 = args.Int("value1", 0, 255, 0);
  card.value2 = args.Int("value2", 0, 255, 0);
  const std::string date = args.Text("valid_until", 10, 10, "0123456789-", "2099-12-31");
  if (!args.ok()) return card;
  if (!ReadDate(date, card)) args.Fail("valid_until must be a date YYYY-MM-DD from 2000 to 2099");
  number.copy(card.cardNumber, sizeof card.cardNumber - 1);
  pin.copy(card.pin, 6);
  std::string padded = flags + std::string(32 - flags.size(), '0');
  padded.copy(card.flags, 32);
  return card;
}

json CardJson(const CardRecord& card) {
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", static_cast<int>(card.year),
                static_cast<int>(card.month), static_cast<int>(card.day));
  return {{"card", std::string(card.cardNumber)},
          {"pin", std::string(card.pin, strnlen(card.pin, sizeof card.pin))},
          {"flags", std::string(card.flags, sizeof card.flags)},
          {"value1", card.value1},
          {"value2", card.value2},
          {"valid_until", date}};
}

void Add(RequestArgs& args, BuiltCommand& out) {
  const CardRecord card = CardFromJson(args);
  out.action = [card, controller = Controller(args)](ZarvoLine* line, int32_t address) {
    CardRecord copy = card;
    uint32_t ticks = 0;
    const int32_t result = Zarvo_LineRegistry(line, address, &copy, &ticks, 1, 0);
    TellCardWrites(controller, "card.add", {{card, false, result}});
    return result;
  };
}

void Get(RequestArgs& args, BuiltCommand& out) {
  CardRecord card{};
  CardNumber(args).copy(card.cardNumber, sizeof card.cardNumber - 1);
  out.action = [card, data = out.data](ZarvoLine* line, int32_t address) {
    CardRecord copy = card;
    uint32_t ticks = 0;
    const int32_t result = Zarvo_LineRegistry(line, address, &copy, &ticks, 0, 0);
    if (result == ZARVO_OK) (*data)["card"] = CardJson(copy);
    return result;
  };
}

void Delete(RequestArgs& args, BuiltCommand& out) {
  CardRecord card{};
  CardNumber(args).copy(card.cardNumber, sizeof card.cardNumber - 1);
  out.action = [card, controller = Controller(args)](ZarvoLine* line, int32_t address) {
    CardRecord copy = card;
    uint32_t ticks = 0;
    const int32_t result = Zarvo_LineRegistry(line, address, &copy, &ticks, 2, 0);
    TellCardWrites(controller, "card.delete", {{card, true, result}});
    return result;
  };
}

struct ListEntry {
  CardRecord card;
  bool remove;
};

// The whole list is checked before the first card is written; each card is
// then written or deleted in turn, and every failure is reported.
void ApplyList(RequestArgs& args, BuiltCommand& out) {
  std::vector<ListEntry> entries;
  const json* list = args.Array("cards", kMaxCardsPerList);
  for (size_t i = 0; list != nullptr && i < list->size() && args.ok(); ++i) {
    RequestArgs item((*list)[i], "cards[" + std::to_string(i) + "].");
    const bool remove = item.Bool("delete", false);
    const CardRecord card = CardFromJson(item);
    if (!item.Finish()) args.Fail(item.error());
    entries.push_back({card, remove});
  }
  out.action = [entries, data = out.data, controller = Controller(args)](ZarvoLine* line,
                                                                         int32_t address) {
    int32_t first_failure = ZARVO_OK;
    json failed = json::array();
    std::vector<CardWrite> writes;
    for (const ListEntry& entry : entries) {
      CardRecord copy = entry.card;
      uint32_t ticks = 0;
      const int32_t result =
          Zarvo_LineRegistry(line, address, &copy, &ticks, entry.remove ? 2 : 1, 0);
      writes.push_back({entry.card, entry.remove, result});
      if (result == ZARVO_OK) continue;
      if (first_failure == ZARVO_OK) first_failure = result;
      failed.push_back({{"card", std::string(entry.card.cardNumber)},
                        {"result", result},
                        {"name", ReplyCodeName(result)}});
    }
    TellCardWrites(controller, "cards.apply", writes);
    (*data)["applied"] = entries.size() - failed.size();
    (*data)["failed"] = failed;
    return first_failure;
  };
}

constexpr CommandSpec kCommands[] = {
    {"card.add", CommandKind::kChange, Add},
    {"card.get", CommandKind::kRead, Get},
    {"card.delete", CommandKind::kChange, Delete},
    {"cards.apply", CommandKind::kChange, ApplyList},
};

}  // namespace

std::span<const CommandSpec> CardCommands() { return kCommands; }

void SetCardWriteListener(CardWriteListener listener) {
  std::lock_guard lock(listener_mutex);
  Listener() = std::move(listener);
}

}  // namespace zarvo::mqtt
