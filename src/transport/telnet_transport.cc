#include "transport/telnet_transport.h"

#include <cstring>

#include "result_codes.h"

namespace zarvo {
namespace {

using namespace telnet;

// Acknowledgements that tell the remote port is set.
constexpr uint8_t kSettingCommands[] = {kSetBaudRate, kSetDataSize, kSetParity,
                                        kSetStopSize, kSetControl,  kPurgeData};

}  // namespace

int32_t TelnetTransport::Open(const char* endpoint, int32_t baud, OpenFailure& why) {
  Close();
  if (baud <= 0) {
    why.Set("%ld bit/s is not a line speed", static_cast<long>(baud));
    return kLineDefinition;
  }
  baud_ = baud;
  if (!connection_.Open(endpoint, "rfc2217", why)) return kCannotOpen;
  if (!Negotiate(why)) {
    Close();
    why.Set("the server closed the connection while the port was being set up");
    return kCannotOpen;
  }
  if (codec_.com_port_agreed() && codec_.acknowledged(kSetBaudRate) &&
      codec_.acknowledged_baud() != 0 &&
      codec_.acknowledged_baud() != static_cast<uint32_t>(baud)) {
    why.Set("the server set its port to %lu bit/s instead of %ld",
            static_cast<unsigned long>(codec_.acknowledged_baud()), static_cast<long>(baud));
    return kLineDefinition;
  }
  return kOk;
}

bool TelnetTransport::Negotiate(OpenFailure& why) {
  codec_.Reset();
  const uint32_t deadline = clock_.NowMs() + kNegotiationDeadlineMs;
  codec_.OfferOption(kComPort);
  codec_.OfferOption(kBinary);
  codec_.RequestOption(kBinary);
  codec_.OfferOption(kSuppressGoAhead);
  codec_.RequestOption(kSuppressGoAhead);
  if (!SendPending()) return false;
  const bool answered = ReceiveUntil(
      [this] { return codec_.com_port_agreed() || codec_.com_port_refused(); }, deadline);
  if (!connection_.connected()) return false;
  if (!answered || !codec_.com_port_agreed()) {
    why.Set("the server refused COM-port control: the line runs at the server's own settings");
    return true;
  }

  const uint32_t baud = static_cast<uint32_t>(baud_);
  const uint8_t speed[] = {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                           static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
  const uint8_t eight_bits = 8, no_parity = 1, one_stop_bit = 1, no_flow_control = 1,
                server_receive_buffer = 1;
  codec_.QueueComPortCommand(kSetBaudRate, speed, sizeof speed);
  codec_.QueueComPortCommand(kSetDataSize, &eight_bits, 1);
  codec_.QueueComPortCommand(kSetParity, &no_parity, 1);
  codec_.QueueComPortCommand(kSetStopSize, &one_stop_bit, 1);
  codec_.QueueComPortCommand(kSetControl, &no_flow_control, 1);
  codec_.QueueComPortCommand(kPurgeData, &server_receive_buffer, 1);
  if (!SendPending()) return false;
  const bool confirmed = ReceiveUntil(
      [this] {
        for (uint8_t code : kSettingCommands) {
          if (!codec_.acknowledged(code)) return false;
        }
        return true;
      },
      deadline);
  if (!connection_.connected()) return false;
  if (!confirmed) {
    why.Set("the server did not confirm the port settings (%ld bit/s 8N1): they may not apply",
            static_cast<long>(baud_));
  }
  return true;
}

template <typename Done>
bool TelnetTransport::ReceiveUntil(Done done, uint32_t deadline_ms) {
  uint8_t scratch[256];
  while (!done()) {
    const int32_t left = static_cast<int32_t>(deadline_ms - clock_.NowMs());
    if (left <= 0) return false;
    const int32_t got = connection_.Receive(scratch, sizeof scratch, static_cast<uint32_t>(left));
    if (got < 0) return false;
    codec_.Decode(scratch, static_cast<size_t>(got));
    if (!SendPending()) return false;
  }
  return true;
}

bool TelnetTransport::SendPending() {
  if (codec_.pending_size() == 0) return true;
  const bool sent = connection_.Send(codec_.pending(), codec_.pending_size());
  codec_.ClearPending();
  return sent;
}

void TelnetTransport::Close() { connection_.Close(); }

bool TelnetTransport::IsOpen() const { return connection_.is_open(); }

int32_t TelnetTransport::StartExchange() {
  // A server that closed the connection while its stale input was drained
  // gets one more connect; each new connection is negotiated again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!connection_.connected()) {
      OpenFailure ignored;
      if (!connection_.EnsureConnected()) return kDeviceGone;
      if (!Negotiate(ignored)) continue;
    }
    if (DiscardStaleInput()) return 0;
  }
  SetFailure("the device server cannot be reached again");
  return kDeviceGone;
}

bool TelnetTransport::DiscardStaleInput() {
  // Telnet commands among the stale bytes are still answered.
  return connection_.DrainWaiting([this](uint8_t* bytes, size_t count) {
    codec_.Decode(bytes, count);
    return SendPending();
  });
}

int32_t TelnetTransport::Write(const uint8_t* bytes, size_t count) {
  // Most requests hold no 0xFF and go out as they are, in one send.
  if (std::memchr(bytes, kIac, count) == nullptr) {
    return connection_.Send(bytes, count) ? static_cast<int32_t>(count) : 0;
  }
  size_t done = 0;
  while (done < count) {
    size_t consumed = 0;
    const size_t length =
        TelnetCodec::Escape(bytes + done, count - done, escaped_, sizeof escaped_, consumed);
    if (!connection_.Send(escaped_, length)) return 0;
    done += consumed;
  }
  return static_cast<int32_t>(count);
}

int32_t TelnetTransport::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  const int32_t got = connection_.Receive(dest, capacity, wait_ms);
  if (got < 0) {
    SetFailure("the device server closed the connection");
    return kDeviceGone;
  }
  // Only commands may have come; then there is no data to return yet.
  const size_t data = codec_.Decode(dest, static_cast<size_t>(got));
  SendPending();
  return static_cast<int32_t>(data);
}

}  // namespace zarvo
