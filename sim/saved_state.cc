#include "saved_state.h"

#include <map>
#include <sstream>
#include <vector>

namespace zarvo::sim {
namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

template <size_t N>
bool FromHex(const std::string& text, std::array<uint8_t, N>& bytes) {
  if (text.size() != 2 * N) return false;
  for (size_t i = 0; i < N; ++i) {
    unsigned value = 0;
    for (char c : text.substr(2 * i, 2)) {
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    bytes[i] = static_cast<uint8_t>(value);
  }
  return true;
}

void Save(const ControllerState& state, std::ostream& out) {
  out << "controller " << int{state.address} << "\n"
      << "baud-code " << int{state.baud_code} << "\n"
      << "clock-offset " << state.clock.offset_seconds() << "\n"
      << "log-position " << state.events.position() << "\n";
  for (const StoredEvent& e : state.events.records()) out << "event " << Hex(e.data(), 16) << "\n";
  for (const StoredEvent& e : state.events.set_aside_records()) {
    out << "set-aside " << Hex(e.data(), 16) << "\n";
  }
  for (const auto& [number, card] : state.cards.singles()) {
    const CardEntry entry = EntryOf(card);
    out << "card " << int{card.registered_by} << " " << Hex(entry.data(), entry.size()) << "\n";
  }
  for (const auto& [numbers, card] : state.cards.doubles()) {
    const CardEntry entry = EntryOf(card);
    out << "double-card " << Hex(entry.data(), entry.size()) << "\n";
  }
}

// One controller's part, read but not yet put in place.
struct Kept {
  int baud_code = kDefaultBaudCode;
  int64_t clock_offset = 0;
  size_t position = 0;
  std::vector<StoredEvent> events, set_aside;
  CardStore cards;
};

// Reads one line of a controller's part into `kept`; false for a line
// that is not one.
bool ReadLine(const std::string& word, std::istringstream& values, Kept& kept) {
  std::string hex;
  if (word == "baud-code") return static_cast<bool>(values >> kept.baud_code);
  if (word == "clock-offset") return static_cast<bool>(values >> kept.clock_offset);
  if (word == "log-position") return static_cast<bool>(values >> kept.position);
  if (word == "event" || word == "set-aside") {
    StoredEvent e{};
    if (!(values >> hex) || !FromHex(hex, e)) return false;
    (word == "event" ? kept.events : kept.set_aside).push_back(e);
    return true;
  }
  CardEntry entry{};
  if (word == "card") {
    int registered_by = 0;
    return values >> registered_by >> hex && FromHex(hex, entry) &&
           kept.cards.Put(SingleCardFromEntry(entry.data(), static_cast<uint8_t>(registered_by)));
  }
  if (word == "double-card") {
    return values >> hex && FromHex(hex, entry) &&
           kept.cards.Put(DoubleCardFromEntry(entry.data()));
  }
  return false;
}

void PutBack(Kept& kept, ControllerState& state) {
  state.baud_code = static_cast<uint8_t>(kept.baud_code);
  state.clock.set_offset_seconds(kept.clock_offset);
  state.events.Reload(std::move(kept.events), std::move(kept.set_aside), kept.position);
  state.cards = std::move(kept.cards);
}

}  // namespace

std::string SaveBusState(VirtualBus& bus) {
  std::ostringstream out;
  bus.ForEachController([&out](ControllerState& state) { Save(state, out); });
  return out.str();
}

bool LoadBusState(VirtualBus& bus, const std::string& text, std::string& error) {
  std::map<int, Kept> kept;
  Kept* current = nullptr;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    std::istringstream values(line);
    std::string word;
    values >> word;
    int address = 0;
    const bool read = word == "controller"
                          ? (values >> address) && address >= 1 && address <= 255 &&
                                (current = &kept[address]) != nullptr
                          : current != nullptr && ReadLine(word, values, *current);
    std::string rest;
    if (!read || values >> rest) {
      error = "line " + std::to_string(number) + " is not a saved controller's: '" + line + "'";
      return false;
    }
  }
  for (auto& entry : kept) {
    auto& part = entry.second;
    bus.WithController(static_cast<uint8_t>(entry.first),
                       [&part](ControllerState& state) { PutBack(part, state); });
  }
  return true;
}

}  // namespace zarvo::sim
