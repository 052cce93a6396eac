// Seeing what happens on a line: capture files and health counters.
#include "exports/export_support.h"
#include "zarvoac.h"

extern "C" {

ZARVO_API int32_t ZARVO_CALL Zarvo_LineCapture(ZarvoLine* handle, const char* path) {
  if (handle == nullptr) return zarvo::kInvalidArgument;
  zarvo::Line& line = zarvo::LineOf(*handle);
  auto lock = line.Lock();
  return line.Capture(path) ? zarvo::kOk : zarvo::kCannotOpen;
}

ZARVO_API int32_t ZARVO_CALL Zarvo_LineStats(ZarvoLine* handle, ZarvoLineStats* out,
                                             int32_t reset) {
  if (handle == nullptr || out == nullptr) return zarvo::kInvalidArgument;
  zarvo::Line& line = zarvo::LineOf(*handle);
  auto lock = line.Lock();
  *out = line.stats();
  if (reset != 0) line.ResetStats();
  return zarvo::kOk;
}

}  // extern "C"
