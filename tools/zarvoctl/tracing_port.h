// A serial port decorator that prints every frame crossing the line, as hex
// and as decoded fields, to a stream of the tool's (the library never
// prints).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "serial/serial_port.h"

namespace zarvoctl {

class TracingPort final : public zarvo::SerialPort {
 public:
  TracingPort(zarvo::SerialPort& inner, std::FILE* out) : inner_(&inner), out_(out) {}
  ~TracingPort() override { FlushReceived("(incomplete)"); }

  int32_t Open(const char* name, int32_t baud) override;
  void Close() override;
  bool IsOpen() const override { return inner_->IsOpen(); }
  int32_t Write(const uint8_t* bytes, size_t count) override;
  int32_t Read(uint8_t* dest, size_t capacity, uint32_t wait_ms) override;
  void DiscardInput() override;
  zarvo::SerialPort& inner() { return *inner_; }

 private:
  void FlushReceived(const char* note);

  zarvo::SerialPort* inner_;
  std::FILE* out_;
  std::vector<uint8_t> received_;
};

// One line describing a request as written on the wire, and one describing
// a reply as received.
std::string DescribeRequest(const uint8_t* wire, size_t count);
std::string DescribeReply(const uint8_t* wire, size_t count);

}  // namespace zarvoctl
