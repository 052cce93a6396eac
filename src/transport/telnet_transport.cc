#include "transport/telnet_transport.h"

#include <cstring>

#include "result_codes.h"

namespace zarvo {
namespace {

constexpr const char* kSendFailed =
    "the device server took no data in time, or the connection failed while sending";

using namespace telnet;

// Acknowledgements that tell the remote port is set.
constexpr uint8_t kSettingCommands[] = {kSetBaudRate, kSetDataSize, kSetParity,
                                        kSetStopSize, kSetControl,  kPurgeData};

}  // namespace

int32_t TelnetTransport::Open(const char* endpoint, int32_t baud, OpenFailure& why) {
  Close();
  // Nothing is open yet, so this is a failure to open, not a refused
  // definition of an open port.
  if (baud <= 0) {
    why.Set("%ld bit/s is not a line speed", static_cast<long>(baud));
    return kCannotOpen;
  }
  baud_ = baud;
  if (!connection_.Open(endpoint, "rfc2217", why)) return kCannotOpen;
  if (Negotiate(why) != kOk) {
    Close();
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

int32_t TelnetTransport::Negotiate(OpenFailure& why) {
  SetUpConnection(why);
  if (!connection_.connected()) {
    why.Set("the server closed the connection while the port was being set up");
    return kCannotOpen;
  }
  // A server that stays silent is taken for one passing bytes unchanged; one
  // that refuses binary transmission keeps the network virtual terminal's
  // rule and would alter every CR byte of the frames, which is not guessed
  // around: servers differ in whether they apply the rule towards the
  // serial port, so sending CR NUL could as well add a NUL to each request.
  if (codec_.binary_answered() && !codec_.binary_both_ways()) {
    connection_.MarkLost();
    why.Set(
        "the server refuses Telnet binary mode, so it would alter data bytes (0x0D): enable "
        "binary transfer on the device server");
    return kCannotOpen;
  }
  return kOk;
}

void TelnetTransport::SetUpConnection(OpenFailure& why) {
  codec_.Reset();
  const uint32_t deadline = clock_.NowMs() + kNegotiationDeadlineMs;
  codec_.OfferOption(kComPort);
  codec_.OfferOption(kBinary);
  codec_.RequestOption(kBinary);
  codec_.OfferOption(kSuppressGoAhead);
  codec_.RequestOption(kSuppressGoAhead);
  if (!SendPending()) return;
  const bool answered = ReceiveUntil(
      [this] { return codec_.com_port_agreed() || codec_.com_port_refused(); }, deadline);
  if (!connection_.connected()) return;
  if (!answered || !codec_.com_port_agreed()) {
    why.Set("the server refused COM-port control: the line runs at the server's own settings");
    ReceiveUntil([this] { return codec_.binary_answered(); }, deadline);
    return;
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
  if (!SendPending()) return;
  auto all_acknowledged = [this] {
    for (uint8_t code : kSettingCommands) {
      if (!codec_.acknowledged(code)) return false;
    }
    return true;
  };
  ReceiveUntil([&] { return all_acknowledged() && codec_.binary_answered(); }, deadline);
  if (!connection_.connected()) return;
  if (!all_acknowledged()) {
    why.Set("the server did not confirm the port settings (%ld bit/s 8N1): they may not apply",
            static_cast<long>(baud_));
  }
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
  const bool sent = connection_.Send(codec_.pending(), codec_.pending_size(), kAnswerWaitMs);
  codec_.ClearPending();
  return sent;
}

void TelnetTransport::Close() { connection_.Close(); }

bool TelnetTransport::IsOpen() const { return connection_.is_open(); }

int32_t TelnetTransport::StartExchange() {
  // A server that closed the connection while its stale input was drained
  // gets one more connect; each new connection is negotiated again.
  for (int attempt = 0; attempt < 2; ++attempt) {
    // A server that turned binary transmission off since would alter the
    // bytes from now on: connect afresh and agree it again.
    if (connection_.connected() && codec_.binary_answered() && !codec_.binary_both_ways()) {
      connection_.MarkLost();
    }
    if (!connection_.connected()) {
      OpenFailure ignored;
      if (!connection_.EnsureConnected()) return kDeviceGone;
      if (Negotiate(ignored) != kOk) continue;
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

int32_t TelnetTransport::Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) {
  // Most requests hold no 0xFF and go out as they are, in one send.
  if (std::memchr(bytes, kIac, count) == nullptr) {
    if (connection_.Send(bytes, count, wait_ms)) return static_cast<int32_t>(count);
    SetFailure(kSendFailed);
    return kDeviceGone;
  }
  const uint32_t start = clock_.NowMs();
  size_t done = 0;
  while (done < count) {
    size_t consumed = 0;
    const size_t length =
        TelnetCodec::Escape(bytes + done, count - done, escaped_, sizeof escaped_, consumed);
    const uint32_t spent = clock_.NowMs() - start;
    if (spent >= wait_ms || !connection_.Send(escaped_, length, wait_ms - spent)) {
      connection_.MarkLost();
      SetFailure(kSendFailed);
      return kDeviceGone;
    }
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
