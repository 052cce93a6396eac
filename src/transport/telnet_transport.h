// Telnet with the COM-port control option (rfc2217://HOST:PORT): a device
// server whose serial port the host configures over the connection.
#pragma once

#include "transport/clock.h"
#include "transport/open_failure.h"
#include "transport/socket_connection.h"
#include "transport/telnet_codec.h"
#include "transport/transport.h"

namespace zarvo {

class TelnetTransport final : public Transport {
 public:
  TelnetTransport() = default;
  ~TelnetTransport() override { Close(); }
  TelnetTransport(const TelnetTransport&) = delete;
  TelnetTransport& operator=(const TelnetTransport&) = delete;

  // Connects to `endpoint`, negotiates binary transmission and COM-port
  // control and sets the remote port to `baud` 8N1 without flow control;
  // returns 0 or -1 with the reason in `why`. A server that refuses binary
  // transmission would alter data and fails the open. A server that refuses
  // COM-port control still carries data; `why` then says so while the
  // result is 0.
  int32_t Open(const char* endpoint, int32_t baud, OpenFailure& why);
  void Close() override;
  bool IsOpen() const override;
  int32_t StartExchange() override;
  int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;
  uint32_t Reconnects() const override { return connection_.reconnects(); }

  static constexpr uint32_t kNegotiationDeadlineMs = 2000;
  // The longest a few bytes of negotiation may wait for the server to read.
  static constexpr uint32_t kAnswerWaitMs = 500;

 private:
  // Agrees the options and sets the remote port on a fresh connection;
  // 0, or -1 with the reason when the connection was lost meanwhile or the
  // server refused binary transmission (the connection is then dropped).
  int32_t Negotiate(OpenFailure& why);
  // Offers the options and sets the remote port, noting in `why` what the
  // server refused; stops early when the connection is lost.
  void SetUpConnection(OpenFailure& why);
  // Receives and decodes until `done` holds or the deadline passes; data
  // bytes are dropped. False when the connection was lost.
  template <typename Done>
  bool ReceiveUntil(Done done, uint32_t deadline_ms);
  bool SendPending();
  bool DiscardStaleInput();

  net::SocketConnection connection_;
  TelnetCodec codec_;
  MonotonicClock clock_;
  int32_t baud_ = 0;
  uint8_t escaped_[1024] = {};
};

}  // namespace zarvo
