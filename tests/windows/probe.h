/* The Windows probe: tables of calls into ZarvoAC.dll, each made through
 * the import library with the caller's stack pointer checked around it, so
 * a function whose 32-bit __stdcall argument size differs between the DLL
 * and its callers is caught at the call that has it. */
#ifndef ZARVO_WINDOWS_PROBE_H_
#define ZARVO_WINDOWS_PROBE_H_

#include <stddef.h>
#include <stdint.h>

#include "zarvoac.h"

/* Result wanted from a call that returns a record count. */
#define SOME_RECORDS INT32_MIN

/* One call: what it is (printed when it fails), the call itself, the result
 * it must return and a check of what it wrote back. */
typedef struct ProbeCall {
  const char* call;
  int32_t (*run)(void);
  int32_t want;
  int (*written_back)(int32_t result);
  const char* check;
} ProbeCall;

/* The buffers and handles the calls share. */
typedef struct Probe {
  const char* port;  /* the COM port the virtual controllers are on */
  char tcp_name[64]; /* tcp://127.0.0.1:PORT, or empty: no tcp calls */
  ZarvoLine* line;   /* the line handle of the Zarvo_Line* calls */
  char text[128];    /* version text, open failure text */
  int32_t values[6];
  CardRecord card, card_back;
  DoubleCardRecord pair, pair_back;
  uint32_t ticks;
  TimeTableRecord week, holiday_times, always_open, day_back;
  HolidayRecord holiday, holiday_back;
  ChainRecord chain, chain_back;
  char password[9];
  char menace[9];
  char lock_flags[32];
  AccessLevelRecord access, access_back;
  WarnLevelRecord alarm, alarm_back;
  EventRecord records[192];
  EventRecord record;
} Probe;

extern Probe probe;

/* Fails the run: the stack pointer or a local next to the call changed. */
void StackMoved(const char* call, uintptr_t before, uintptr_t after, uint32_t canary);

#define PROBE_CANARY 0x5AA5C33Cu

#if defined(__i386__)
#define READ_STACK_POINTER(v) __asm__ volatile("movl %%esp, %0" : "=r"(v) : : "memory")
#else
#define READ_STACK_POINTER(v) __asm__ volatile("movq %%rsp, %0" : "=r"(v) : : "memory")
#endif

/* Defines run_<id>, which makes `call` between two readings of the stack
 * pointer, and check_<id>, which evaluates `check` afterwards (`result`
 * is the call's result there). */
#define DEFINE_PROBE_CALL(id, name, call, check)                                            \
  static int32_t run_##id(void) {                                                           \
    volatile uint32_t canary = PROBE_CANARY;                                                \
    uintptr_t before = 0, after = 0;                                                        \
    READ_STACK_POINTER(before);                                                             \
    const int32_t result = (call);                                                          \
    READ_STACK_POINTER(after);                                                              \
    if (before != after || canary != PROBE_CANARY) StackMoved(name, before, after, canary); \
    return result;                                                                          \
  }                                                                                         \
  static int check_##id(int32_t result) {                                                   \
    (void)result;                                                                           \
    return (check);                                                                         \
  }

#define PROBE_ROW(id, name, want, check) {name, run_##id, want, check_##id, #check},

/* A row whose call is printed as written. */
#define DEFINE_CALL(id, call, want, check) DEFINE_PROBE_CALL(id, #call, call, check)
#define CALL_ROW(id, call, want, check) PROBE_ROW(id, #call, want, check)

/* A table of plain rows: LIST(X) holds rows X(id, call, want, check). */
#define DEFINE_CALL_TABLE(function, title, LIST)                      \
  LIST(DEFINE_CALL)                                                   \
  int function(void) {                                                \
    static const ProbeCall calls[] = {LIST(CALL_ROW)};                \
    return RunProbeCalls(title, calls, sizeof calls / sizeof *calls); \
  }

/* Calls made by expressions that return no result (or a pointer) yield 0. */
#define DONE(expression) ((void)(expression), 0)

/* Runs the calls in order; returns the number that failed. A call that does
 * not return within the watchdog's limit ends the program. */
int RunProbeCalls(const char* table, const ProbeCall* calls, size_t count);

/* The tables, in the order they run. */
int RunDefaultLineCalls(void);
int RunLineSetupCalls(void);
int RunLineOperationCalls(void);
int RunLineAfterCalls(void);
int RunChannelCalls(void);
int RunTcpCalls(void);
int RunLineEndCalls(void);
int RunStackCheckSelfTest(void);

#endif /* ZARVO_WINDOWS_PROBE_H_ */
