/*
 * ZarvoAC: host-side protocol library for door access controllers on a
 * shared serial line.
 *
 * Open a line with Zarvo_OpenCom, then call one function per controller
 * operation. Every call is synchronous and returns a 32-bit result: 0 (or a
 * record count for Zarvo_ReadRecordOfBlock) on success, one of the ZARVO_E_*
 * codes below on failure.
 *
 * Lines. The functions named Zarvo_<Operation> work on the process-wide
 * default line. Every one of them also exists as Zarvo_Line<Operation>, with
 * a ZarvoLine handle as its first argument, for a process that drives
 * several lines: create a line with Zarvo_LineCreate, open it with
 * Zarvo_LineOpenCom (or Zarvo_LineOpenChannel), call, and free it with
 * Zarvo_LineDestroy. Zarvo_DefaultLine() is the handle of the default line.
 *
 * Port names: a device ("COM1", "\\.\COM10", "/dev/ttyUSB0"), a serial
 * device server over raw TCP ("tcp://HOST:PORT") or over Telnet with COM-port
 * control ("rfc2217://HOST:PORT"), each optionally followed by line options:
 * "NAME?echo=on&wait=200". See Zarvo_LineSetOption for the options.
 *
 * Threads. Each line has its own lock: calls on one line are serialized, so
 * threads may share a line; calls on different lines run in parallel. A line
 * must not be destroyed while another thread is calling it. Trace hooks and
 * channel functions are called on the thread of the call that uses the line,
 * while that line's lock is held: they must not call back into that line.
 */
#ifndef ZARVOAC_H_
#define ZARVOAC_H_

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define ZARVO_CALL __stdcall
#else
#define ZARVO_CALL
#endif

#if defined(_WIN32)
#if defined(ZARVO_BUILDING_LIBRARY)
#define ZARVO_API /* exported by name through the module definition file */
#else
#define ZARVO_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define ZARVO_API __attribute__((visibility("default")))
#else
#define ZARVO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes ------------------------------------------------------ */

#define ZARVO_OK 0
/* The device cannot be opened (Zarvo_OpenCom), or the controller refused
 * the command (reply status not 0). */
#define ZARVO_E_REFUSED (-1)
#define ZARVO_E_QUEUE_SIZES (-2)     /* the platform refused the queue sizes */
#define ZARVO_E_LINE_DEFINITION (-3) /* the line speed or mode was refused */
#define ZARVO_E_PORT_SETTINGS (-4)   /* the port settings were refused */
#define ZARVO_E_PORT_TIMEOUTS (-5)   /* the port time-outs were refused */
#define ZARVO_E_NO_REPLY (-10)       /* silence, or the device went away */
#define ZARVO_E_NO_START_BYTE (-11)  /* a reply arrived without a start byte */
#define ZARVO_E_MISMATCH (-12)       /* reply from another address or command */
#define ZARVO_E_SHORT_REPLY (-13)    /* reply too short for the data read */
#define ZARVO_E_NOT_OPEN (-16)       /* no port open, or nothing was written */
#define ZARVO_E_TOO_LONG (-17)       /* reply longer than the receive buffer */
#define ZARVO_E_INVALID_ARG (-18)    /* invalid argument; nothing was sent */

/* ---- Caller records ---------------------------------------------------- */

/* One event of the controller's log, ready for display. */
typedef struct EventRecord {
  char number1[16]; /* first 24-bit number, "%08lu" */
  char number2[16]; /* second 24-bit number, "%08lu" */
  char date[16];    /* "20YY-MM-DD" */
  char time[16];    /* "HH:MM:SS" */
  int32_t value1;   /* 0 to 255 */
  int32_t value2;   /* 0 to 255 */
} EventRecord;

/* A single card entry. */
typedef struct CardRecord {
  char cardNumber[32]; /* decimal text; a read writes "%08lu" */
  char pin[8];         /* six hex digits; upper-cased in place on write */
  char flags[32];      /* 32 characters '0'/'1', bit i at index i, no NUL */
  char reserved[32];   /* never read or written */
  int32_t value1;      /* low 8 bits sent; 0 to 255 on read */
  int32_t value2;      /* low 8 bits sent; 0 to 255 on read */
  int32_t year;        /* full year, e.g. 2007 */
  int32_t month;
  int32_t day;
} CardRecord;

/* A double-card entry: two card numbers in one entry. Same size and field
 * places as CardRecord, so one buffer can serve both. */
typedef struct DoubleCardRecord {
  char cardNumber1[16];
  char cardNumber2[16];
  char reservedPin[8]; /* never read or written */
  char flags[32];
  char reserved[32];      /* never read or written */
  int32_t reservedValue1; /* never read or written */
  int32_t value2;
  int32_t year;
  int32_t month;
  int32_t day;
} DoubleCardRecord;

/* One day of a week table: element 0 is the day index (0 to 6, clamped and
 * written back); elements 1+4p .. 4+4p are start hour, start minute, end
 * hour and end minute of period p (0 to 7). */
typedef int32_t TimeTableRecord[33];

/* One holiday: element 0 month (1 to 12), element 1 day of month (1 to 31). */
typedef int32_t HolidayRecord[2];

/* One chain group: elements 0 to 3 the four entries (0 to 31 when written),
 * element 4 the 16-bit value. */
typedef int32_t ChainRecord[5];

/* A door's access mode; each field is one bit (any non-zero value sets it). */
typedef struct AccessLevelRecord {
  int32_t firstBit0;
  int32_t firstBit1;
  int32_t firstBit2;
  int32_t firstBit3;
  int32_t firstBit4;
  int32_t firstBit5;
  int32_t firstBit7;
  int32_t secondBit0;
  int32_t secondBit7;
} AccessLevelRecord;

/* A door's alarm mode; one-bit fields and two 2-bit fields (0 to 3). */
typedef struct WarnLevelRecord {
  int32_t firstBit0;
  int32_t firstBit1;
  int32_t firstBit2;
  int32_t firstBit3;
  int32_t firstBit4;
  int32_t firstBit5;
  int32_t firstBit6;
  int32_t secondBits0to1;
  int32_t secondBits2to3;
  int32_t secondBit4;
  int32_t secondBit5;
} WarnLevelRecord;

/* ---- Serial port ------------------------------------------------------- */

/* Opens the named port (e.g. "COM1", "/dev/ttyUSB0", "tcp://10.0.0.7:4001")
 * at `baud` bit/s, 8N1, closing any port already open. Only one process may
 * hold a device. `baud` is not used for tcp://, whose speed is the device
 * server's setting. Zarvo_LineOpenError tells why an open failed. */
ZARVO_API int32_t ZARVO_CALL Zarvo_OpenCom(const char* portName, int32_t baud);
ZARVO_API int32_t ZARVO_CALL Zarvo_CloseCom(void);

/* ---- Controller management --------------------------------------------- */

ZARVO_API int32_t ZARVO_CALL Zarvo_SearchAR(int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_ChangeAR(int32_t address, int32_t newAddress);
/* `version` receives up to 32 bytes, with no terminator added. */
ZARVO_API int32_t ZARVO_CALL Zarvo_Ver(int32_t address, char* version);
ZARVO_API int32_t ZARVO_CALL Zarvo_Time(int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_ChangeBaud(int32_t address, int32_t baud);
ZARVO_API int32_t ZARVO_CALL Zarvo_Init(int32_t address);
/* `values` receives six 16-bit device values. */
ZARVO_API int32_t ZARVO_CALL Zarvo_DeviceInformation(int32_t address, int32_t* values);

/* ---- Event log --------------------------------------------------------- */

/* `records` must have room for 192 entries; returns the count written. */
ZARVO_API int32_t ZARVO_CALL Zarvo_ReadRecordOfBlock(int32_t address, int32_t block,
                                                     EventRecord* records);
ZARVO_API int32_t ZARVO_CALL Zarvo_ReadOne(int32_t address, EventRecord* record);
ZARVO_API int32_t ZARVO_CALL Zarvo_MoveNext(int32_t address, EventRecord* record);
ZARVO_API int32_t ZARVO_CALL Zarvo_ClearRecord(int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_RestoreRecord(int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_RestoreMaxRecord(int32_t unused);

/* ---- Card registry (mode 0 read, 1 write, 2 delete) -------------------- */

/* `ticks` receives the duration of the exchange in milliseconds. */
ZARVO_API int32_t ZARVO_CALL Zarvo_Registry(int32_t address, CardRecord* record, uint32_t* ticks,
                                            int32_t mode, int32_t flag);
ZARVO_API int32_t ZARVO_CALL Zarvo_RegistryDouble(int32_t address, DoubleCardRecord* record,
                                                  uint32_t* ticks, int32_t mode);

/* ---- Tables (mode 0 read, 1 write) ------------------------------------- */

ZARVO_API int32_t ZARVO_CALL Zarvo_TimeTable(int32_t address, int32_t tableNo, int32_t* record,
                                             int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_HolidayTimeTable(int32_t address, int32_t tableNo,
                                                    int32_t* record, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_AlwaysOpenOfWeek(int32_t address, int32_t tableNo,
                                                    int32_t* record, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_HolidayTable(int32_t address, int32_t index, int32_t* record,
                                                int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_ChianTable(int32_t address, int32_t* record, int32_t group,
                                              int32_t mode);

/* ---- Door settings ----------------------------------------------------- */

/* `password` (8 hex digits) is upper-cased in place. */
ZARVO_API int32_t ZARVO_CALL Zarvo_PassWordOpenDoor(int32_t address, int32_t door, char* password);
ZARVO_API int32_t ZARVO_CALL Zarvo_AccessLevel(int32_t address, int32_t door,
                                               AccessLevelRecord* settings, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_WarnLevel(int32_t address, int32_t door,
                                             WarnLevelRecord* settings, int32_t mode);
/* `delayValues`: four values, the low 8 bits of each are sent. */
ZARVO_API int32_t ZARVO_CALL Zarvo_Delay(int32_t address, const int32_t* delayValues,
                                         int32_t reserved);
/* `menaceCode` (8 hex digits) is upper-cased in place. */
ZARVO_API int32_t ZARVO_CALL Zarvo_MenaceCode(int32_t address, char* menaceCode);
/* `lockFlags`: 32 bytes; byte i not 0 sets bit i of the interlock mask. */
ZARVO_API int32_t ZARVO_CALL Zarvo_MutualLock(int32_t address, int32_t door, const char* lockFlags);

/* ---- Remote door control ----------------------------------------------- */

ZARVO_API int32_t ZARVO_CALL Zarvo_RemoteOpenDoor(int32_t address, int32_t door, int32_t openParam);
ZARVO_API int32_t ZARVO_CALL Zarvo_RemoteCloseDoor(int32_t address, int32_t door);
ZARVO_API int32_t ZARVO_CALL Zarvo_RemoteClearWarn(int32_t address, int32_t door);

/* ---- Door-to-table relations ------------------------------------------- */

ZARVO_API int32_t ZARVO_CALL Zarvo_RelationTimeTable(int32_t address, int32_t door, int32_t slot,
                                                     int32_t linkValue);
ZARVO_API int32_t ZARVO_CALL Zarvo_RelationHolidayTimeTable(int32_t address, int32_t door,
                                                            int32_t slot, int32_t linkValue);
ZARVO_API int32_t ZARVO_CALL Zarvo_RelationAlwaysOpenOfWeek(int32_t address, int32_t door,
                                                            int32_t linkValue);

/* ---- Lines ------------------------------------------------------------- */

/* A line: its port, its lock, its table caches and the duration of its last
 * exchange. Opaque; only ever used through a pointer. */
typedef struct ZarvoLine ZarvoLine;

/* A link the application carries itself. `write` sends `count` bytes and
 * returns the count sent (0 or less: nothing was sent). `read` waits up to
 * `waitMs` for input and stores what is there, up to `capacity` bytes: it
 * returns the count stored, 0 when the wait ran out, and a negative value
 * when the link is gone. `discardInput` drops input left from an earlier
 * request and `close` is called once when the line lets go of the channel;
 * both may be NULL. `context` is passed to each of them. */
typedef struct ZarvoChannel {
  void* context;
  int32_t(ZARVO_CALL* write)(void* context, const uint8_t* bytes, int32_t count);
  int32_t(ZARVO_CALL* read)(void* context, uint8_t* dest, int32_t capacity, uint32_t waitMs);
  void(ZARVO_CALL* discardInput)(void* context);
  void(ZARVO_CALL* close)(void* context);
} ZarvoChannel;

/* Directions of the frames a trace hook receives. */
#define ZARVO_TRACE_REQUEST 0 /* written by the host */
#define ZARVO_TRACE_REPLY 1   /* received, as it arrived */

/* Receives every frame as it crossed the wire: the request as written, and
 * the reply as received (with any noise before it, whole or cut short).
 * `timestampUs` is a monotonic clock in microseconds. The bytes are valid
 * only during the call. */
typedef void(ZARVO_CALL* ZarvoTraceHook)(void* context, int32_t direction, uint64_t timestampUs,
                                         const uint8_t* bytes, int32_t count);

/* A new, closed line; NULL when out of memory. */
ZARVO_API ZarvoLine* ZARVO_CALL Zarvo_LineCreate(void);
/* Closes the line's port and frees the line. The default line is closed but
 * stays. NULL is ignored. */
ZARVO_API void ZARVO_CALL Zarvo_LineDestroy(ZarvoLine* line);
/* The handle of the default line, on which the Zarvo_<Operation> functions
 * work. */
ZARVO_API ZarvoLine* ZARVO_CALL Zarvo_DefaultLine(void);

/* Opens the line over the application's channel (the structure is copied),
 * closing any port already open; 0, or -18 when `channel` lacks `write` or
 * `read`. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineOpenChannel(ZarvoLine* line, const ZarvoChannel* channel);
/* Copies the reason the line's last open failed (for example "no such
 * device", "connection refused") into `text`, cut to `size` bytes with a
 * terminator; an empty text when it succeeded. For an open that succeeded
 * with a reservation (a device server without COM-port control) the text
 * says so. Returns 0, or -18 for a NULL argument or a size below 1. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineOpenError(ZarvoLine* line, char* text, int32_t size);
/* Copies why the line's last call failed (for example "no byte within
 * 500 ms", "the device server closed the connection", "the reply stopped
 * without its end mark", "reply from address 3, not 5", "no port open") into
 * `text`, cut to `size` bytes with a terminator; an empty text after a call
 * that succeeded. Returns 0, or -18 for a NULL argument or a size below 1. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineLastError(ZarvoLine* line, char* text, int32_t size);
/* Sets a line option, as "NAME?key=value" would:
 *   echo  auto (default): drop the echo of the request that adapters which
 *         read back their own transmission return before the reply, when
 *         the reply starts with exactly the bytes sent;
 *         on: expect that echo, and fail with -12 when it differs (a bus
 *         collision); off: take every byte as reply.
 *   wait  extra milliseconds allowed for the first reply byte, for links
 *         with latency such as remote device servers (default 0).
 *   rs485 rts: RS-485 direction control by RTS, raised while sending;
 *         none (default). Takes effect at the next open of a serial device.
 *   rts_before, rts_after: milliseconds RTS is raised before and held
 *         after a transmission (Linux only).
 * Options set here hold for the line until changed; options in a port name
 * hold for that open only. Returns 0, or -18 for an unknown key or a
 * malformed value. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineSetOption(ZarvoLine* line, const char* key,
                                                 const char* value);
/* Sets the line's trace hook, NULL to remove it. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineSetTrace(ZarvoLine* line, ZarvoTraceHook hook,
                                                void* context);

/* The controller operations on a given line: each behaves exactly as the
 * Zarvo_<Operation> of the same name does on the default line, and returns
 * -18 for a NULL line. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineOpenCom(ZarvoLine* line, const char* portName, int32_t baud);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineCloseCom(ZarvoLine* line);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineSearchAR(ZarvoLine* line, int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineChangeAR(ZarvoLine* line, int32_t address,
                                                int32_t newAddress);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineVer(ZarvoLine* line, int32_t address, char* version);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineTime(ZarvoLine* line, int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineChangeBaud(ZarvoLine* line, int32_t address, int32_t baud);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineInit(ZarvoLine* line, int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineDeviceInformation(ZarvoLine* line, int32_t address,
                                                         int32_t* values);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineReadRecordOfBlock(ZarvoLine* line, int32_t address,
                                                         int32_t block, EventRecord* records);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineReadOne(ZarvoLine* line, int32_t address,
                                               EventRecord* record);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineMoveNext(ZarvoLine* line, int32_t address,
                                                EventRecord* record);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineClearRecord(ZarvoLine* line, int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRestoreRecord(ZarvoLine* line, int32_t address);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRestoreMaxRecord(ZarvoLine* line, int32_t unused);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRegistry(ZarvoLine* line, int32_t address,
                                                CardRecord* record, uint32_t* ticks, int32_t mode,
                                                int32_t flag);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRegistryDouble(ZarvoLine* line, int32_t address,
                                                      DoubleCardRecord* record, uint32_t* ticks,
                                                      int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineTimeTable(ZarvoLine* line, int32_t address, int32_t tableNo,
                                                 int32_t* record, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineHolidayTimeTable(ZarvoLine* line, int32_t address,
                                                        int32_t tableNo, int32_t* record,
                                                        int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineAlwaysOpenOfWeek(ZarvoLine* line, int32_t address,
                                                        int32_t tableNo, int32_t* record,
                                                        int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineHolidayTable(ZarvoLine* line, int32_t address, int32_t index,
                                                    int32_t* record, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineChianTable(ZarvoLine* line, int32_t address, int32_t* record,
                                                  int32_t group, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LinePassWordOpenDoor(ZarvoLine* line, int32_t address,
                                                        int32_t door, char* password);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineAccessLevel(ZarvoLine* line, int32_t address, int32_t door,
                                                   AccessLevelRecord* settings, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineWarnLevel(ZarvoLine* line, int32_t address, int32_t door,
                                                 WarnLevelRecord* settings, int32_t mode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineDelay(ZarvoLine* line, int32_t address,
                                             const int32_t* delayValues, int32_t reserved);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineMenaceCode(ZarvoLine* line, int32_t address,
                                                  char* menaceCode);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineMutualLock(ZarvoLine* line, int32_t address, int32_t door,
                                                  const char* lockFlags);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRemoteOpenDoor(ZarvoLine* line, int32_t address,
                                                      int32_t door, int32_t openParam);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRemoteCloseDoor(ZarvoLine* line, int32_t address,
                                                       int32_t door);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRemoteClearWarn(ZarvoLine* line, int32_t address,
                                                       int32_t door);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRelationTimeTable(ZarvoLine* line, int32_t address,
                                                         int32_t door, int32_t slot,
                                                         int32_t linkValue);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRelationHolidayTimeTable(ZarvoLine* line, int32_t address,
                                                                int32_t door, int32_t slot,
                                                                int32_t linkValue);
ZARVO_API int32_t ZARVO_CALL Zarvo_LineRelationAlwaysOpenOfWeek(ZarvoLine* line, int32_t address,
                                                                int32_t door, int32_t linkValue);

/* ---- Diagnostics ------------------------------------------------------- */

/* Writes every frame of the line, as its trace hook would see it, to a
 * capture file at `path` (created or replaced): classic pcap, link type
 * USER0 (147), one record per frame, each written out at once so that the
 * file stays readable if the process dies. A record holds 1 byte direction
 * (ZARVO_TRACE_REQUEST or ZARVO_TRACE_REPLY), 1 byte name length N, the N
 * bytes of the line's port name, then the frame's bytes. A NULL `path` stops
 * the capture. A new capture replaces a running one once its file is
 * created; when the file cannot be created the running one goes on. Works
 * alongside a trace hook. Returns 0, -1 when the file cannot be created, or
 * -18 for a NULL line. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineCapture(ZarvoLine* line, const char* path);

/* The line's health counters since it was made or last reset. Each counts
 * up to 4294967295 and stays there. */
typedef struct ZarvoLineStats {
  uint32_t exchanges;      /* requests attempted (arguments valid) */
  uint32_t successes;      /* exchanges that returned 0 */
  uint32_t refusals;       /* -1: the controller refused (status not 0) */
  uint32_t noReply;        /* -10 */
  uint32_t noStartByte;    /* -11 */
  uint32_t mismatches;     /* -12 */
  uint32_t notOpen;        /* -16 */
  uint32_t tooLong;        /* -17 */
  uint32_t silences;       /* nothing but an echo, if that, came back */
  uint32_t linksLost;      /* the device reported an error or hang-up */
  uint32_t noiseBytes;     /* bytes received before a reply's start mark */
  uint32_t badByteFrames;  /* replies with bytes outside 0x00-0x0F inside */
  uint32_t echoesStripped; /* adapter echoes of the request dropped */
  uint32_t reconnects;     /* network links connected again */
} ZarvoLineStats;

/* Copies the line's counters into `out`, then sets them to 0 when `reset`
 * is not 0. Returns 0, or -18 for a NULL argument. */
ZARVO_API int32_t ZARVO_CALL Zarvo_LineStats(ZarvoLine* line, ZarvoLineStats* out, int32_t reset);

/* The library's version, "MAJOR.MINOR.PATCH": a constant string that the
 * caller must not free. */
ZARVO_API const char* ZARVO_CALL Zarvo_LibraryVersion(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#ifdef __cplusplus
static_assert(sizeof(EventRecord) == 72, "EventRecord layout");
static_assert(sizeof(CardRecord) == 124, "CardRecord layout");
static_assert(sizeof(DoubleCardRecord) == 124, "DoubleCardRecord layout");
static_assert(sizeof(TimeTableRecord) == 33 * 4, "TimeTableRecord layout");
static_assert(sizeof(HolidayRecord) == 2 * 4, "HolidayRecord layout");
static_assert(sizeof(ChainRecord) == 5 * 4, "ChainRecord layout");
static_assert(sizeof(AccessLevelRecord) == 9 * 4, "AccessLevelRecord layout");
static_assert(sizeof(WarnLevelRecord) == 11 * 4, "WarnLevelRecord layout");
static_assert(sizeof(ZarvoLineStats) == 14 * 4, "ZarvoLineStats layout");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(EventRecord) == 72, "EventRecord layout");
_Static_assert(sizeof(CardRecord) == 124, "CardRecord layout");
_Static_assert(sizeof(DoubleCardRecord) == 124, "DoubleCardRecord layout");
_Static_assert(sizeof(AccessLevelRecord) == 9 * 4, "AccessLevelRecord layout");
_Static_assert(sizeof(WarnLevelRecord) == 11 * 4, "WarnLevelRecord layout");
_Static_assert(sizeof(ZarvoLineStats) == 14 * 4, "ZarvoLineStats layout");
#endif

#endif /* ZARVOAC_H_ */
