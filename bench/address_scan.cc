#include "address_scan.h"

#include <cstdio>

#include "line/line.h"
#include "stats.h"

namespace zarvo::bench {
namespace {

// A short limit keeps the scan quick; what matters is the time beyond it.
constexpr uint32_t kSilenceMs = 20;

int32_t Probe(uint8_t address) {
  uint8_t body[32] = {0x80, address, 0x01};
  int32_t length = 3;
  Line& line = Line::Default();
  auto lock = line.Lock();
  return line.Exchange(body, 32, length, kSilenceMs);
}

}  // namespace

void AddressScanFigures(Responder& responder, int last_address) {
  responder.set_silent(true);
  const double t0 = NowUs();
  for (int address = 1; address <= last_address; ++address) {
    Probe(static_cast<uint8_t>(address));
  }
  const double scan_ms = (NowUs() - t0) / 1000.0;
  const double nominal_ms = static_cast<double>(last_address) * kSilenceMs;

  // The same probe again as soon as the first gave up: the only call that
  // waits for a late reply to the first to have passed.
  const double t1 = NowUs();
  Probe(1);
  Probe(1);
  const double repeat_ms = (NowUs() - t1) / 1000.0;
  responder.set_silent(false);

  std::printf("\n| silent bus, %u ms limit | time (ms) | silence limits (ms) | ratio |\n",
              kSilenceMs);
  std::printf("|---|---|---|---|\n");
  std::printf("| scan of addresses 1-%d | %.1f | %.0f | %.3f |\n", last_address, scan_ms,
              nominal_ms, scan_ms / nominal_ms);
  std::printf("| one probe, then the same probe again | %.1f | %u | %.3f |\n", repeat_ms,
              2 * kSilenceMs, repeat_ms / (2 * kSilenceMs));
}

}  // namespace zarvo::bench
