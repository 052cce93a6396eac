/* The line functions around the controller operations: creating a line,
 * open failures, options, the trace hook, reopening with a refused speed,
 * a tcp:// line and the default line's handle. */
#include <string.h>

#include "probe.h"

/* Port speed the system refuses to build a line definition from. */
#define REFUSED_BAUD (-1)

typedef struct TraceLog {
  int requests;
  int replies;
  int odd; /* hook calls whose arguments made no sense */
  uint64_t last_us;
} TraceLog;

static TraceLog trace;

/* Checks every argument, the 64-bit timestamp among them: on 32-bit Windows
 * a hook called with another argument layout sees nonsense here. */
static void ZARVO_CALL RecordFrame(void* context, int32_t direction, uint64_t timestampUs,
                                   const uint8_t* bytes, int32_t count) {
  TraceLog* log = (TraceLog*)context;
  const int direction_known = direction == ZARVO_TRACE_REQUEST || direction == ZARVO_TRACE_REPLY;
  if (log != &trace || !direction_known || count < 0 || count > 65536 ||
      (count > 0 && bytes == NULL) || timestampUs < log->last_us) {
    ++trace.odd;
    return;
  }
  log->last_us = timestampUs;
  if (direction == ZARVO_TRACE_REQUEST) {
    ++log->requests;
  } else {
    ++log->replies;
  }
}

/* Each exchange of the operation calls shows as a request and a reply. */
static int TraceLooksRight(void) {
  return trace.odd == 0 && trace.requests >= 40 && trace.replies >= 40 && trace.last_us > 0;
}

static int ClearTraceLog(void) {
  memset(&trace, 0, sizeof trace);
  return 1;
}

static const char* DevicePath(void) {
  static char path[64];
  strcpy(path, "\\\\.\\");
  strncat(path, probe.port, sizeof path - 5);
  return path;
}

#define LINE_SETUP_CALLS(X)                                                                   \
  X(create, DONE(probe.line = Zarvo_LineCreate()), ZARVO_OK, probe.line != NULL)              \
  X(not_open, Zarvo_LineSearchAR(probe.line, 1), ZARVO_E_NOT_OPEN, 1)                         \
  X(no_line, Zarvo_LineSearchAR(NULL, 1), ZARVO_E_INVALID_ARG, 1)                             \
  X(open_missing, Zarvo_LineOpenCom(probe.line, "COM77", 9600), ZARVO_E_REFUSED, 1)           \
  X(why_missing, Zarvo_LineOpenError(probe.line, probe.text, sizeof probe.text), ZARVO_OK,    \
    strstr(probe.text, "COM77") != NULL)                                                      \
  X(why_cut, Zarvo_LineOpenError(probe.line, probe.text, 4), ZARVO_OK,                        \
    strcmp(probe.text, "COM") == 0)                                                           \
  X(why_no_room, Zarvo_LineOpenError(probe.line, probe.text, 0), ZARVO_E_INVALID_ARG, 1)      \
  X(option_wait, Zarvo_LineSetOption(probe.line, "wait", "20"), ZARVO_OK, 1)                  \
  X(option_unknown, Zarvo_LineSetOption(probe.line, "colour", "red"), ZARVO_E_INVALID_ARG, 1) \
  X(option_bad, Zarvo_LineSetOption(probe.line, "echo", "sometimes"), ZARVO_E_INVALID_ARG, 1) \
  X(trace_on, Zarvo_LineSetTrace(probe.line, RecordFrame, &trace), ZARVO_OK, 1)

/* After the operation calls, with the line open on the COM port. A reopen
 * that fails after the port was opened keeps the port; the time-outs the
 * earlier handle had must not be taken as set on the new one, or the next
 * read waits for ever. */
#define LINE_AFTER_CALLS(X)                                                                \
  X(why_none, Zarvo_LineOpenError(probe.line, probe.text, sizeof probe.text), ZARVO_OK,    \
    probe.text[0] == '\0')                                                                 \
  X(traced, Zarvo_LineSearchAR(probe.line, 1), ZARVO_OK, TraceLooksRight())                \
  X(trace_off, Zarvo_LineSetTrace(probe.line, NULL, NULL), ZARVO_OK, ClearTraceLog())      \
  X(untraced, Zarvo_LineSearchAR(probe.line, 1), ZARVO_OK, trace.requests == 0)            \
  X(reopen_refused, Zarvo_LineOpenCom(probe.line, probe.port, REFUSED_BAUD),               \
    ZARVO_E_LINE_DEFINITION, 1)                                                            \
  X(reopened_exchange, Zarvo_LineSearchAR(probe.line, 1), ZARVO_OK, 1)                     \
  X(reopened_silence, Zarvo_LineSearchAR(probe.line, 9), ZARVO_E_NO_REPLY, 1)              \
  X(why_silence, Zarvo_LineLastError(probe.line, probe.text, sizeof probe.text), ZARVO_OK, \
    strstr(probe.text, "no byte within 220 ms") != NULL)                                   \
  X(close, Zarvo_LineCloseCom(probe.line), ZARVO_OK, 1)                                    \
  X(closed, Zarvo_LineSearchAR(probe.line, 1), ZARVO_E_NOT_OPEN, 1)

#define TCP_CALLS(X)                                                            \
  X(tcp_open, Zarvo_LineOpenCom(probe.line, probe.tcp_name, 9600), ZARVO_OK, 1) \
  X(tcp_search, Zarvo_LineSearchAR(probe.line, 1), ZARVO_OK, 1)                 \
  X(tcp_version, Zarvo_LineVer(probe.line, 1, probe.text), ZARVO_OK,            \
    strncmp(probe.text, "ZAC-4 V", 7) == 0)                                     \
  X(tcp_silent, Zarvo_LineSearchAR(probe.line, 9), ZARVO_E_NO_REPLY, 1)         \
  X(tcp_close, Zarvo_LineCloseCom(probe.line), ZARVO_OK, 1)

/* The default line's handle is the line of the Zarvo_<Op> calls; destroying
 * it only closes it. Ends with the default line opened by device path, as
 * ports above COM9 must be named. */
#define LINE_END_CALLS(X)                                                                \
  X(destroy_null, DONE(Zarvo_LineDestroy(NULL)), ZARVO_OK, 1)                            \
  X(default_closed, Zarvo_LineSearchAR(Zarvo_DefaultLine(), 1), ZARVO_E_NOT_OPEN, 1)     \
  X(default_open, Zarvo_LineOpenCom(Zarvo_DefaultLine(), probe.port, 9600), ZARVO_OK, 1) \
  X(default_same, Zarvo_SearchAR(1), ZARVO_OK, 1)                                        \
  X(default_destroy, DONE(Zarvo_LineDestroy(Zarvo_DefaultLine())), ZARVO_OK, 1)          \
  X(default_kept_closed, Zarvo_SearchAR(1), ZARVO_E_NOT_OPEN, 1)                         \
  X(device_path, Zarvo_OpenCom(DevicePath(), 9600), ZARVO_OK, 1)                         \
  X(device_path_search, Zarvo_SearchAR(1), ZARVO_OK, 1)                                  \
  X(last_close, Zarvo_CloseCom(), ZARVO_OK, 1)

DEFINE_CALL_TABLE(RunLineSetupCalls, "line functions", LINE_SETUP_CALLS)
DEFINE_CALL_TABLE(RunLineAfterCalls, "line trace and reopen", LINE_AFTER_CALLS)
DEFINE_CALL_TABLE(RunTcpCalls, "tcp line", TCP_CALLS)
DEFINE_CALL_TABLE(RunLineEndCalls, "default line handle", LINE_END_CALLS)
