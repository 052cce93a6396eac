// The line handle: creating and freeing lines, the default line's handle,
// channels, open failures, options and trace hooks.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "exports/export_support.h"
#include "line/line_transports.h"
#include "zarvoac.h"

struct ZarvoLine {
  zarvo::LineTransports transports;
  zarvo::MonotonicClock clock;
  zarvo::Line line{transports, clock};
};

namespace zarvo {
namespace {

// Copies `source` into `text`, cut to `size` - 1 bytes (`size` at least 1)
// and terminated.
void CopyText(const char* source, char* text, int32_t size) {
  const size_t length = std::min(std::strlen(source), static_cast<size_t>(size) - 1);
  std::memcpy(text, source, length);
  text[length] = '\0';
}

ZarvoLine& DefaultHandle() {
  // From first use to unload, in static storage; the line closes what is
  // still open when it is destroyed.
  static ZarvoLine handle;
  return handle;
}

}  // namespace

Line& Line::Default() { return DefaultHandle().line; }

Line& LineOf(ZarvoLine& handle) { return handle.line; }

// A NULL name fails like any open: the port held before is closed, none is
// open, and the line says why.
int32_t OpenComOn(Line& line, const char* port_name, int32_t baud) {
  return line.Open(port_name, baud);
}

int32_t CloseComOn(Line& line) {
  line.Close();
  return kOk;
}

// Kept for hosts written against older controllers: it sends nothing and
// works without an open port.
int32_t RestoreMaxRecordOn(Line&, int32_t) { return kOk; }

}  // namespace zarvo

extern "C" {

ZARVO_API ZarvoLine* ZARVO_CALL Zarvo_LineCreate(void) {
  // malloc rather than new: the library throws nothing and needs no C++
  // allocation runtime.
  void* storage = std::malloc(sizeof(ZarvoLine));
  return storage == nullptr ? nullptr : new (storage) ZarvoLine;
}

ZARVO_API void ZARVO_CALL Zarvo_LineDestroy(ZarvoLine* handle) {
  if (handle == nullptr) return;
  if (handle == &zarvo::DefaultHandle()) {
    Zarvo_LineCloseCom(handle);
    return;
  }
  handle->~ZarvoLine();
  std::free(handle);
}

ZARVO_API ZarvoLine* ZARVO_CALL Zarvo_DefaultLine(void) { return &zarvo::DefaultHandle(); }

ZARVO_API int32_t ZARVO_CALL Zarvo_LineOpenChannel(ZarvoLine* handle, const ZarvoChannel* channel) {
  if (handle == nullptr || channel == nullptr) return zarvo::kInvalidArgument;
  auto lock = handle->line.Lock();
  return handle->line.OpenChannel(*channel) ? zarvo::kOk : zarvo::kInvalidArgument;
}

ZARVO_API int32_t ZARVO_CALL Zarvo_LineOpenError(ZarvoLine* handle, char* text, int32_t size) {
  if (handle == nullptr || text == nullptr || size < 1) return zarvo::kInvalidArgument;
  auto lock = handle->line.Lock();
  zarvo::CopyText(handle->line.open_failure().text(), text, size);
  return zarvo::kOk;
}

ZARVO_API int32_t ZARVO_CALL Zarvo_LineLastError(ZarvoLine* handle, char* text, int32_t size) {
  if (handle == nullptr || text == nullptr || size < 1) return zarvo::kInvalidArgument;
  auto lock = handle->line.Lock();
  zarvo::CopyText(handle->line.last_error().text(), text, size);
  return zarvo::kOk;
}

ZARVO_API int32_t ZARVO_CALL Zarvo_LineSetOption(ZarvoLine* handle, const char* key,
                                                 const char* value) {
  if (handle == nullptr || key == nullptr || value == nullptr) return zarvo::kInvalidArgument;
  auto lock = handle->line.Lock();
  return handle->line.SetOption(key, value) ? zarvo::kOk : zarvo::kInvalidArgument;
}

ZARVO_API int32_t ZARVO_CALL Zarvo_LineSetTrace(ZarvoLine* handle, ZarvoTraceHook hook,
                                                void* context) {
  if (handle == nullptr) return zarvo::kInvalidArgument;
  auto lock = handle->line.Lock();
  handle->line.SetTrace(hook, context);
  return zarvo::kOk;
}

}  // extern "C"
