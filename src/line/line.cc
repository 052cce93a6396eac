#include "line/line.h"

#include <cstring>
#include <utility>

#include "capture/pcap_writer.h"
#include "line/line_transports.h"
#include "result_codes.h"

namespace zarvo {
namespace {

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

Line::Line(LineTransports& transports, Clock& clock)
    : transports_(&transports), transport_(&transports.serial), clock_(&clock) {}

Line::Line(Transport& transport, Clock& clock) : transport_(&transport), clock_(&clock) {}

Line::Line(std::unique_ptr<Transport> transport, std::unique_ptr<Clock> clock)
    : owned_transport_(std::move(transport)),
      owned_clock_(std::move(clock)),
      transport_(owned_transport_.get()),
      clock_(owned_clock_.get()) {}

Line::~Line() {
  PcapWriter::Destroy(capture_);
  if (transports_ != nullptr) transport_->Close();
}

int32_t Line::Open(const char* port_name, int32_t baud) {
  const int32_t result = OpenAndConfigure(port_name, baud);
  if (result != kOk) last_error_.Set("the port did not open: %s", open_failure_.text());
  return result;
}

int32_t Line::OpenAndConfigure(const char* port_name, int32_t baud) {
  Close();
  open_failure_.Clear();
  options_ = base_options_;
  if (port_name == nullptr) {
    name_[0] = '\0';
    open_failure_.Set("no port name given");
    return kCannotOpen;
  }
  if (!ParsePortName(port_name, name_, sizeof name_, options_, open_failure_)) {
    name_[0] = '\0';
    return kCannotOpen;
  }
  return OpenByName(name_, baud);
}

int32_t Line::OpenByName(const char* name, int32_t baud) {
  if (transports_ == nullptr) {
    open_failure_.Set("this line has a fixed transport");
    return kCannotOpen;
  }
  if (StartsWith(name, "tcp://")) {
    transport_ = &transports_->tcp;
    return transports_->tcp.Open(name + 6, open_failure_);
  }
  if (StartsWith(name, "rfc2217://")) {
    transport_ = &transports_->telnet;
    return transports_->telnet.Open(name + 10, baud, open_failure_);
  }
  if (std::strstr(name, "://") != nullptr) {
    open_failure_.Set("unknown kind of port '%s' (known: a device, tcp://, rfc2217://)", name);
    return kCannotOpen;
  }
  transport_ = &transports_->serial;
  return transports_->serial.Open(name, baud, options_.direction, open_failure_);
}

bool Line::OpenChannel(const ZarvoChannel& channel) {
  Close();
  open_failure_.Clear();
  options_ = base_options_;
  std::strcpy(name_, "channel");
  if (transports_ == nullptr || !transports_->channel.Open(channel)) {
    open_failure_.Set("the channel needs a write and a read function");
    return false;
  }
  transport_ = &transports_->channel;
  return true;
}

void Line::Close() { transport_->Close(); }

bool Line::Capture(const char* path) {
  if (path == nullptr) {
    PcapWriter::Destroy(capture_);
    capture_ = nullptr;
    return true;
  }
  PcapWriter* writer = PcapWriter::Create(path, clock_->NowUs());
  if (writer == nullptr) return false;
  PcapWriter::Destroy(capture_);
  capture_ = writer;
  return true;
}

void Line::TraceFrame(int32_t direction, const uint8_t* bytes, size_t count) {
  const uint64_t now_us = clock_->NowUs();
  if (trace_hook_ != nullptr) {
    trace_hook_(trace_context_, direction, now_us, bytes, static_cast<int32_t>(count));
  }
  if (capture_ != nullptr) {
    capture_->Write(static_cast<uint8_t>(direction), now_us, name_, bytes, count);
  }
}

bool Line::SetOption(const char* key, const char* value) {
  OpenFailure why;
  if (!ApplyLineOption(base_options_, key, value, why)) return false;
  ApplyLineOption(options_, key, value, why);
  return true;
}

}  // namespace zarvo
