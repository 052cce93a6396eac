// A link carried by the application itself (a test double, a USB bridge, a
// TLS tunnel): the library calls the application's write and read functions
// and knows nothing of what is behind them.
#pragma once

#include "transport/transport.h"
#include "zarvoac.h"

namespace zarvo {

class ChannelTransport final : public Transport {
 public:
  ChannelTransport() = default;
  ~ChannelTransport() override { Close(); }
  ChannelTransport(const ChannelTransport&) = delete;
  ChannelTransport& operator=(const ChannelTransport&) = delete;

  // Takes a copy of `channel`; false when it lacks a write or read function.
  bool Open(const ZarvoChannel& channel);
  // Calls the channel's close function once.
  void Close() override;
  bool IsOpen() const override { return open_; }
  int32_t StartExchange() override;
  int32_t Write(const uint8_t* bytes, size_t count, uint32_t wait_ms) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;

 private:
  ZarvoChannel channel_{};
  bool open_ = false;
};

}  // namespace zarvo
