// The virtual controller's request parser and command handlers fed
// arbitrary bytes from the line: frames with bad CRCs are dropped, and
// every well-formed request, whatever its parameters, is handled safely.
#include <cstdint>
#include <vector>

#include "codec/frame_codec.h"
#include "handlers.h"
#include "request_parser.h"

namespace {

void Handle(zarvo::sim::ControllerState& state, const zarvo::sim::Request& request) {
  zarvo::sim::Reply reply;
  if (auto handler = zarvo::sim::Handlers()[request.command]) handler(state, request, reply);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zarvo::sim::ControllerState state(1);
  zarvo::sim::RequestParser parser([&](const zarvo::sim::Request& r) { Handle(state, r); });
  parser.Feed(data, size);

  // The same bytes as the body of a correctly framed request, so the
  // handlers see arbitrary parameters and not only CRC failures.
  if (size >= 1) {
    std::vector<uint8_t> body = {0x80, 0x01};
    body.insert(body.end(), data, data + std::min<size_t>(size, 600));
    std::vector<uint8_t> wire(2 * (body.size() + 4));
    const size_t frame = zarvo::BuildRequestFrame(body.data(), body.size(), wire.data());
    const size_t encoded = zarvo::EncodeFrame(wire.data(), frame, wire.data());
    parser.Feed(wire.data(), encoded);
  }
  return 0;
}
