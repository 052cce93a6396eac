#include "transport/channel_transport.h"

#include <climits>

namespace zarvo {

bool ChannelTransport::Open(const ZarvoChannel& channel) {
  Close();
  if (channel.write == nullptr || channel.read == nullptr) return false;
  channel_ = channel;
  open_ = true;
  return true;
}

void ChannelTransport::Close() {
  if (!open_) return;
  open_ = false;
  if (channel_.close != nullptr) channel_.close(channel_.context);
  channel_ = ZarvoChannel{};
}

int32_t ChannelTransport::StartExchange() {
  if (channel_.discardInput != nullptr) channel_.discardInput(channel_.context);
  return 0;
}

// The application's write function has no deadline; keeping to one is its
// own affair.
int32_t ChannelTransport::Write(const uint8_t* bytes, size_t count, uint32_t /*wait_ms*/) {
  const int32_t written = channel_.write(channel_.context, bytes, static_cast<int32_t>(count));
  // A channel cannot have written more than it was given; less than nothing
  // is nothing, not a lost link.
  if (written <= 0) SetFailure("the channel's write took nothing");
  if (written < 0) return 0;
  return written > static_cast<int32_t>(count) ? static_cast<int32_t>(count) : written;
}

int32_t ChannelTransport::Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) {
  const int32_t asked = capacity > INT_MAX ? INT_MAX : static_cast<int32_t>(capacity);
  const int32_t got = channel_.read(channel_.context, dest, asked, wait_ms);
  if (got < 0) {
    SetFailure("the channel's read reported an error");
    return kDeviceGone;
  }
  // More than was asked for would have been written past the buffer; the
  // channel is broken, and the line treats it as gone.
  if (got > asked) {
    SetFailure("the channel's read returned more bytes than asked for");
    return kDeviceGone;
  }
  return got;
}

}  // namespace zarvo
