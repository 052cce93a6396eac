// The card list commands: register, read back and delete single cards and
// double-card entries. A card number of 0 names no card, a double entry
// needs two different cards, and the date must be a real calendar date;
// anything else the list holds as it was sent.
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "handlers.h"

namespace zarvo::sim {
namespace {

constexpr size_t kNumberBytes = 4;
// Event records carry 24-bit numbers.
constexpr uint32_t kEventNumberMask = 0xFFFFFF;

uint32_t NumberParam(const Request& request, size_t at) {
  return ReadBigEndian32(request.body.data() + 3 + at);
}

void Refuse(Reply& reply) { reply.status = kStatusRefused; }

void LogCard(ControllerState& state, EventKind kind, uint32_t number1, uint32_t number2 = 0) {
  state.LogEvent(kind, 0, number1 & kEventNumberMask, number2 & kEventNumberMask);
}

// Codes 18 and 20 carry the same entry; the list remembers which was used.
void WriteCard(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < kCardEntrySize) return Refuse(reply);
  const SingleCard card = SingleCardFromEntry(request.body.data() + 3, request.command);
  if (card.number == 0 || !card.date.IsValid() || !state.cards.Put(card)) return Refuse(reply);
  LogCard(state, kEventCardRegistered, card.number);
}

void ReadCard(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < kNumberBytes) return Refuse(reply);
  const SingleCard* card = state.cards.FindSingle(NumberParam(request, 0));
  if (card == nullptr) return Refuse(reply);
  const CardEntry entry = EntryOf(*card);
  reply.payload.assign(entry.begin(), entry.end());
}

void DeleteCard(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < kNumberBytes) return Refuse(reply);
  const uint32_t number = NumberParam(request, 0);
  if (!state.cards.RemoveSingle(number)) return Refuse(reply);
  LogCard(state, kEventCardDeleted, number);
}

void WriteDoubleCard(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < kCardEntrySize) return Refuse(reply);
  const DoubleCard card = DoubleCardFromEntry(request.body.data() + 3);
  const bool numbers_ok = card.number1 != 0 && card.number2 != 0 && card.number1 != card.number2;
  if (!numbers_ok || !card.date.IsValid() || !state.cards.Put(card)) return Refuse(reply);
  LogCard(state, kEventCardRegistered, card.number1, card.number2);
}

void ReadDoubleCard(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < 2 * kNumberBytes) return Refuse(reply);
  const DoubleCard* card =
      state.cards.FindDouble(NumberParam(request, 0), NumberParam(request, kNumberBytes));
  if (card == nullptr) return Refuse(reply);
  const CardEntry entry = EntryOf(*card);
  reply.payload.assign(entry.begin(), entry.end());
}

void DeleteDoubleCard(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < 2 * kNumberBytes) return Refuse(reply);
  const uint32_t number1 = NumberParam(request, 0);
  const uint32_t number2 = NumberParam(request, kNumberBytes);
  if (!state.cards.RemoveDouble(number1, number2)) return Refuse(reply);
  LogCard(state, kEventCardDeleted, number1, number2);
}

}  // namespace

void RegisterCardHandlers(HandlerTable& table) {
  table[kCmdWriteCard] = WriteCard;
  table[kCmdWriteCardFlagged] = WriteCard;
  table[kCmdReadCard] = ReadCard;
  table[kCmdDeleteCard] = DeleteCard;
  table[kCmdWriteDoubleCard] = WriteDoubleCard;
  table[kCmdReadDoubleCard] = ReadDoubleCard;
  table[kCmdDeleteDoubleCard] = DeleteDoubleCard;
}

}  // namespace zarvo::sim
