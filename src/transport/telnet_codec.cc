#include "transport/telnet_codec.h"

#include <cstring>

namespace zarvo {
namespace {

using namespace telnet;

bool WeUse(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}
bool ServerMayUse(uint8_t option) { return option == kBinary || option == kSuppressGoAhead; }

}  // namespace

void TelnetCodec::Reset() { *this = TelnetCodec{}; }

void TelnetCodec::OfferOption(uint8_t option) {
  if (local_[option] != kOff) return;
  local_[option] = kAsked;
  Queue(kWill, option);
}

void TelnetCodec::RequestOption(uint8_t option) {
  if (remote_[option] != kOff) return;
  remote_[option] = kAsked;
  Queue(kDo, option);
}

void TelnetCodec::QueueComPortCommand(uint8_t code, const uint8_t* value, size_t size) {
  uint8_t command[4 + 2 * 8 + 2] = {kIac, kSb, kComPort, code};
  size_t length = 4;
  for (size_t i = 0; i < size && i < 8; ++i) {
    if (value[i] == kIac) command[length++] = kIac;
    command[length++] = value[i];
  }
  command[length++] = kIac;
  command[length++] = kSe;
  QueueBytes(command, length);
}

size_t TelnetCodec::Decode(uint8_t* bytes, size_t count) {
  size_t data = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac) {
          state_ = State::kIac;
        } else {
          bytes[data++] = byte;
        }
        break;
      case State::kIac:
        if (byte == kIac) {
          bytes[data++] = kIac;
          state_ = State::kData;
        } else {
          OnCommand(byte);
        }
        break;
      case State::kVerb:
        OnNegotiation(verb_, byte);
        state_ = State::kData;
        break;
      case State::kSbOption:
        sb_option_ = byte;
        sb_size_ = 0;
        state_ = State::kSb;
        break;
      case State::kSb:
        if (byte == kIac) {
          state_ = State::kSbIac;
        } else if (sb_size_ < sizeof sb_) {
          sb_[sb_size_++] = byte;
        }
        break;
      case State::kSbIac:
        if (byte == kIac) {
          if (sb_size_ < sizeof sb_) sb_[sb_size_++] = kIac;
          state_ = State::kSb;
        } else {
          // IAC SE ends it; any other command ends it too and is taken as
          // that command.
          OnSubnegotiationEnd();
          state_ = State::kData;
          if (byte != kSe) OnCommand(byte);
        }
        break;
    }
  }
  return data;
}

void TelnetCodec::OnCommand(uint8_t byte) {
  if (byte == kWill || byte == kWont || byte == kDo || byte == kDont) {
    verb_ = byte;
    state_ = State::kVerb;
  } else if (byte == kSb) {
    state_ = State::kSbOption;
  } else {
    state_ = State::kData;  // NOP, go-ahead, break and the like carry nothing here
  }
}

// Answers only requests that change an option's state, so two sides that
// disagree never loop.
void TelnetCodec::OnNegotiation(uint8_t verb, uint8_t option) {
  OptionState& mine = local_[option];
  OptionState& theirs = remote_[option];
  switch (verb) {
    case kDo:
      if (mine == kOn) break;
      if (!WeUse(option)) {
        Queue(kWont, option);
        break;
      }
      if (mine == kOff) Queue(kWill, option);
      mine = kOn;
      break;
    case kDont:
      if (option == kComPort) com_port_refused_ = true;
      if (mine == kOn) Queue(kWont, option);
      mine = kOff;
      break;
    case kWill:
      if (theirs == kOn) break;
      if (!ServerMayUse(option)) {
        Queue(kDont, option);
        break;
      }
      if (theirs == kOff) Queue(kDo, option);
      theirs = kOn;
      break;
    case kWont:
      if (option == kComPort && mine != kOn) com_port_refused_ = true;
      if (theirs == kOn) Queue(kDont, option);
      theirs = kOff;
      break;
    default: break;
  }
}

void TelnetCodec::OnSubnegotiationEnd() {
  if (sb_option_ != kComPort || sb_size_ == 0 || sb_[0] < kServerReply) return;
  const uint8_t code = static_cast<uint8_t>(sb_[0] - kServerReply);
  if (code < 32) acknowledged_ |= 1u << code;
  if (code == kSetBaudRate && sb_size_ >= 5) {
    acknowledged_baud_ =
        uint32_t{sb_[1]} << 24 | uint32_t{sb_[2]} << 16 | uint32_t{sb_[3]} << 8 | sb_[4];
  }
}

void TelnetCodec::Queue(uint8_t verb, uint8_t option) {
  const uint8_t command[] = {kIac, verb, option};
  QueueBytes(command, sizeof command);
}

void TelnetCodec::QueueBytes(const uint8_t* bytes, size_t count) {
  // Whole commands only; a server flooding negotiations past the room gets
  // no further answers.
  if (pending_size_ + count > sizeof pending_) return;
  std::memcpy(pending_ + pending_size_, bytes, count);
  pending_size_ += count;
}

size_t TelnetCodec::Escape(const uint8_t* source, size_t count, uint8_t* dest, size_t capacity,
                           size_t& consumed) {
  size_t out = 0;
  size_t in = 0;
  while (in < count) {
    const size_t needed = source[in] == kIac ? 2 : 1;
    if (out + needed > capacity) break;
    if (source[in] == kIac) dest[out++] = kIac;
    dest[out++] = source[in++];
  }
  consumed = in;
  return out;
}

}  // namespace zarvo
