/* Runs on Windows (under wine in the test suite) against the virtual
 * controllers at addresses 1 and 2 behind a COM port:
 *
 *   zarvo_wine_probe COM5 [TCP_PORT]
 *
 * calls every export of ZarvoAC.dll, on the default line and on a line
 * handle, and with TCP_PORT also over tcp://127.0.0.1:TCP_PORT. Prints each
 * call; exits 0 when every call returned what it should. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "probe.h"

Probe probe;

/* A call that does not return within this limit is reported as hung. */
enum { kCallLimitMs = 15000 };

static HANDLE call_done;
static const char* volatile call_running;

static DWORD WINAPI Watchdog(LPVOID unused) {
  (void)unused;
  for (;;) {
    if (WaitForSingleObject(call_done, kCallLimitMs) != WAIT_TIMEOUT) continue;
    const char* running = call_running;
    if (running == NULL) continue;
    printf("HUNG %s: no return within %d ms\n", running, kCallLimitMs);
    fflush(stdout);
    ExitProcess(4);
  }
}

/* A call that breaks the stack may crash rather than return. */
static LONG WINAPI ReportCrash(EXCEPTION_POINTERS* e) {
  const char* running = call_running;
  printf("CRASH %s: exception %08lx\n", running != NULL ? running : "outside the calls",
         (unsigned long)e->ExceptionRecord->ExceptionCode);
  fflush(stdout);
  ExitProcess(5);
}

void StackMoved(const char* call, uintptr_t before, uintptr_t after, uint32_t canary) {
  printf("STACK %s: stack pointer %p before, %p after, local %s\n", call, (void*)before,
         (void*)after, canary == PROBE_CANARY ? "kept" : "overwritten");
  fflush(stdout);
  ExitProcess(3);
}

static int Failed(const ProbeCall* c, int32_t got) {
  if (c->want == SOME_RECORDS ? got <= 0 : got != c->want) {
    printf("FAIL %s = %ld, wanted %ld\n", c->call, (long)got, (long)c->want);
    return 1;
  }
  if (!c->written_back(got)) {
    printf("FAIL %s = %ld, but not %s\n", c->call, (long)got, c->check);
    return 1;
  }
  return 0;
}

int RunProbeCalls(const char* table, const ProbeCall* calls, size_t count) {
  int failures = 0;
  printf("-- %s\n", table);
  for (size_t i = 0; i < count; ++i) {
    call_running = calls[i].call;
    const ULONGLONG start = GetTickCount64();
    const int32_t got = calls[i].run();
    const ULONGLONG took = GetTickCount64() - start;
    call_running = NULL;
    SetEvent(call_done);
    if (Failed(&calls[i], got)) {
      ++failures;
    } else {
      printf("ok   %s = %ld (%lu ms)\n", calls[i].call, (long)got, (unsigned long)took);
    }
  }
  return failures;
}

int main(int argc, char** argv) {
  probe.port = argc > 1 ? argv[1] : "COM5";
  if (argc > 2) snprintf(probe.tcp_name, sizeof probe.tcp_name, "tcp://127.0.0.1:%s", argv[2]);
  SetUnhandledExceptionFilter(ReportCrash);
  call_done = CreateEventA(NULL, FALSE, FALSE, NULL);
  if (call_done == NULL || CreateThread(NULL, 0, Watchdog, NULL, 0, NULL) == NULL) {
    printf("cannot start the watchdog\n");
    return 2;
  }
  int failures = RunStackCheckSelfTest();
  failures += RunDefaultLineCalls();
  failures += RunLineSetupCalls();
  failures += RunLineOperationCalls();
  failures += RunLineAfterCalls();
  failures += RunChannelCalls();
  if (probe.tcp_name[0] != '\0') {
    failures += RunTcpCalls();
  } else {
    printf("-- tcp: skipped (no port given)\n");
  }
  failures += RunLineEndCalls();
  if (failures == 0) {
    printf("windows probe passed\n");
    return 0;
  }
  printf("windows probe FAILED: %d calls\n", failures);
  return 1;
}
