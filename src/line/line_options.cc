#include "line/line_options.h"

#include <charconv>
#include <cstring>

namespace zarvo {
namespace {

constexpr uint32_t kMaxDelayMs = 60000;

bool ParseMs(std::string_view text, uint32_t& ms) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value > kMaxDelayMs) return false;
  ms = value;
  return true;
}

bool ParseEcho(std::string_view text, EchoMode& mode) {
  if (text == "auto") {
    mode = EchoMode::kAuto;
  } else if (text == "on") {
    mode = EchoMode::kOn;
  } else if (text == "off") {
    mode = EchoMode::kOff;
  } else {
    return false;
  }
  return true;
}

bool ParseRs485(std::string_view text, bool& rts) {
  if (text == "rts") {
    rts = true;
  } else if (text == "none") {
    rts = false;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ApplyLineOption(LineOptions& options, std::string_view key, std::string_view value,
                     OpenFailure& why) {
  LineOptions changed = options;
  bool valid;
  const char* expected;
  if (key == "echo") {
    valid = ParseEcho(value, changed.echo);
    expected = "auto, on or off";
  } else if (key == "wait") {
    valid = ParseMs(value, changed.first_byte_wait_ms);
    expected = "milliseconds, 0 to 60000";
  } else if (key == "rs485") {
    valid = ParseRs485(value, changed.direction.rts_while_sending);
    expected = "rts or none";
  } else if (key == "rts_before") {
    valid = ParseMs(value, changed.direction.rts_before_ms);
    expected = "milliseconds, 0 to 60000";
  } else if (key == "rts_after") {
    valid = ParseMs(value, changed.direction.rts_after_ms);
    expected = "milliseconds, 0 to 60000";
  } else {
    why.Set("unknown line option '%.*s' (known: echo, wait, rs485, rts_before, rts_after)",
            static_cast<int>(key.size()), key.data());
    return false;
  }
  if (!valid) {
    why.Set("line option %.*s=%.*s: expected %s", static_cast<int>(key.size()), key.data(),
            static_cast<int>(value.size()), value.data(), expected);
    return false;
  }
  options = changed;
  return true;
}

bool ParsePortName(const char* port_name, char* name, size_t capacity, LineOptions& options,
                   OpenFailure& why) {
  const char* query = std::strchr(port_name, '?');
  const size_t name_length =
      query ? static_cast<size_t>(query - port_name) : std::strlen(port_name);
  if (name_length >= capacity) {
    why.Set("port name longer than %lu characters", static_cast<unsigned long>(capacity - 1));
    return false;
  }
  std::memcpy(name, port_name, name_length);
  name[name_length] = '\0';
  if (query == nullptr) return true;

  LineOptions parsed = options;
  std::string_view rest(query + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos) {
      why.Set("line option '%.*s' has no value (key=value)", static_cast<int>(pair.size()),
              pair.data());
      return false;
    }
    if (!ApplyLineOption(parsed, pair.substr(0, eq), pair.substr(eq + 1), why)) return false;
  }
  options = parsed;
  return true;
}

}  // namespace zarvo
