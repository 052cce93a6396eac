// What a device server sends over Telnet, read in arbitrary pieces: the
// decoder must stay inside each piece, keep its answers within their room,
// and give back exactly the data bytes that escaping them produced.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "transport/telnet_codec.h"

namespace {

using zarvo::TelnetCodec;

// Decodes `stream` in pieces whose sizes come from `sizes`, each in a
// buffer of exactly its size, and returns the data bytes.
std::vector<uint8_t> DecodeInPieces(TelnetCodec& codec, const uint8_t* stream, size_t size,
                                    uint8_t sizes) {
  std::vector<uint8_t> data;
  size_t at = 0;
  while (at < size) {
    const size_t piece = std::min<size_t>(size - at, 1 + (sizes + at) % 17);
    std::vector<uint8_t> read(stream + at, stream + at + piece);
    const size_t count = codec.Decode(read.data(), read.size());
    if (count > piece) std::abort();
    if (codec.pending_size() > 512) std::abort();
    data.insert(data.end(), read.begin(), read.begin() + static_cast<long>(count));
    codec.ClearPending();
    at += piece;
  }
  return data;
}

// Escapes `data` into buffers of exactly `capacity` bytes, as the
// transport's sends do; false when a piece could make no progress.
bool EscapeInPieces(const std::vector<uint8_t>& data, size_t capacity, std::vector<uint8_t>& out) {
  size_t done = 0;
  while (done < data.size()) {
    std::vector<uint8_t> piece(capacity);
    size_t consumed = 0;
    const size_t length = TelnetCodec::Escape(data.data() + done, data.size() - done, piece.data(),
                                              piece.size(), consumed);
    if (length > capacity || consumed > data.size() - done) std::abort();
    if (consumed == 0) return false;
    out.insert(out.end(), piece.begin(), piece.begin() + static_cast<long>(length));
    done += consumed;
  }
  return true;
}

}  // namespace

// Input: a piece-size selector, an escape capacity, then the server's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TelnetCodec codec;
  codec.OfferOption(zarvo::telnet::kComPort);
  codec.OfferOption(zarvo::telnet::kBinary);
  codec.RequestOption(zarvo::telnet::kBinary);
  codec.ClearPending();
  const std::vector<uint8_t> received = DecodeInPieces(codec, data + 2, size - 2, data[0]);

  // A COM-port command carries at most 8 value bytes, however many it is given.
  TelnetCodec commands;
  commands.QueueComPortCommand(data[1] % 32, data + 2, std::min<size_t>(size - 2, 16));
  if (commands.pending_size() > 4 + 2 * 8 + 2) std::abort();

  // Whatever we send comes back unchanged through a decoder.
  std::vector<uint8_t> escaped;
  if (!EscapeInPieces(received, 1 + data[1] % 64, escaped)) return 0;
  TelnetCodec peer;
  if (DecodeInPieces(peer, escaped.data(), escaped.size(), data[0]) != received) std::abort();
  return 0;
}
