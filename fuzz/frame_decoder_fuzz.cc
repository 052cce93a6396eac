// Arbitrary bytes as received from the line: the reply decoder must stay
// inside the received bytes and the one byte after them.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Exactly count + 1 bytes, so any read beyond them is caught.
  const size_t count = size - 1;
  std::vector<uint8_t> received(data, data + size);
  std::vector<uint8_t> out(size);
  const int32_t length = zarvo::DecodeFrame(received.data(), count, out.data());
  if (length < -1 || length > static_cast<int32_t>(count / 2 + 2)) std::abort();

  // Decoding in place gives the same bytes.
  const int32_t again = zarvo::DecodeFrame(received.data(), count, received.data());
  if (again != length) std::abort();
  if (length > 0 && std::memcmp(out.data(), received.data(), static_cast<size_t>(length)) != 0) {
    std::abort();
  }
  return 0;
}
