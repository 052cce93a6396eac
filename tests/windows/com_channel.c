/* A line over the application's own channel: callbacks (__stdcall on 32-bit
 * Windows) that carry the bytes over a COM port handle the program opened. */
#include <string.h>
#include <windows.h>

#include "probe.h"

typedef struct ComChannel {
  HANDLE port;
  int writes;
  int reads;
  int discards;
  int closes;
} ComChannel;

static ComChannel com = {INVALID_HANDLE_VALUE, 0, 0, 0, 0};

static int32_t ZARVO_CALL ChannelWrite(void* context, const uint8_t* bytes, int32_t count) {
  ComChannel* c = (ComChannel*)context;
  DWORD written = 0;
  ++c->writes;
  if (!WriteFile(c->port, bytes, (DWORD)count, &written, NULL)) return -1;
  return (int32_t)written;
}

static int32_t ZARVO_CALL ChannelRead(void* context, uint8_t* dest, int32_t capacity,
                                      uint32_t waitMs) {
  ComChannel* c = (ComChannel*)context;
  /* Returns what has arrived, or a few milliseconds after the input pauses,
   * or after waitMs. */
  COMMTIMEOUTS wait;
  memset(&wait, 0, sizeof wait);
  wait.ReadIntervalTimeout = waitMs == 0 ? MAXDWORD : 5;
  wait.ReadTotalTimeoutConstant = waitMs;
  DWORD got = 0;
  ++c->reads;
  if (!SetCommTimeouts(c->port, &wait)) return -1;
  if (!ReadFile(c->port, dest, (DWORD)capacity, &got, NULL)) return -1;
  return (int32_t)got;
}

static void ZARVO_CALL ChannelDiscard(void* context) {
  ComChannel* c = (ComChannel*)context;
  ++c->discards;
  PurgeComm(c->port, PURGE_RXABORT | PURGE_RXCLEAR);
}

static void ZARVO_CALL ChannelClose(void* context) {
  ComChannel* c = (ComChannel*)context;
  ++c->closes;
  CloseHandle(c->port);
  c->port = INVALID_HANDLE_VALUE;
}

/* Opens the COM port for a channel; a channel without a read function when
 * the port cannot be opened, which the line refuses. */
static const ZarvoChannel* OpenComChannel(void) {
  static ZarvoChannel channel;
  com.port = CreateFileA(probe.port, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  channel.context = &com;
  channel.write = ChannelWrite;
  channel.read = com.port == INVALID_HANDLE_VALUE ? NULL : ChannelRead;
  channel.discardInput = ChannelDiscard;
  channel.close = ChannelClose;
  return &channel;
}

static const ZarvoChannel kWithoutRead = {&com, ChannelWrite, NULL, NULL, NULL};

/* Ends with the line destroyed, which lets go of the channel. */
#define CHANNEL_CALLS(X)                                                                         \
  X(channel_open, Zarvo_LineOpenChannel(probe.line, OpenComChannel()), ZARVO_OK, 1)              \
  X(channel_search, Zarvo_LineSearchAR(probe.line, 1), ZARVO_OK,                                 \
    com.writes == 1 && com.reads >= 1 && com.discards == 1)                                      \
  X(channel_version, Zarvo_LineVer(probe.line, 1, probe.text), ZARVO_OK,                         \
    strncmp(probe.text, "ZAC-4 V", 7) == 0)                                                      \
  X(channel_silent, Zarvo_LineSearchAR(probe.line, 9), ZARVO_E_NO_REPLY, 1)                      \
  X(channel_without_read, Zarvo_LineOpenChannel(probe.line, &kWithoutRead), ZARVO_E_INVALID_ARG, \
    com.closes == 1)                                                                             \
  X(channel_let_go, Zarvo_LineSearchAR(probe.line, 1), ZARVO_E_NOT_OPEN, 1)                      \
  X(channel_reopen, Zarvo_LineOpenChannel(probe.line, OpenComChannel()), ZARVO_OK, 1)            \
  X(channel_again, Zarvo_LineSearchAR(probe.line, 1), ZARVO_OK, 1)                               \
  X(destroy, DONE(Zarvo_LineDestroy(probe.line)), ZARVO_OK, com.closes == 2)

DEFINE_CALL_TABLE(RunChannelCalls, "application channel", CHANNEL_CALLS)
