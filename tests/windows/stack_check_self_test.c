/* Shows that the stack check around each call notices a wrong argument
 * size: a 32-bit __stdcall function removes its own arguments, so calling
 * one with more arguments than it takes leaves the stack pointer moved. */
#include <stdio.h>
#include <windows.h>

#include "probe.h"

#if defined(__i386__)
typedef int32_t(ZARVO_CALL* TwoArguments)(int32_t, int32_t);

/* The stack pointer's change across the call. The alloca makes the function
 * restore its stack pointer from the frame pointer on return, so the moved
 * stack does not break the return. */
static __attribute__((noinline)) intptr_t StackChangeOfWrongCall(TwoArguments wrong) {
  volatile char* frame = __builtin_alloca(16);
  uintptr_t before = 0, after = 0;
  frame[0] = 0;
  READ_STACK_POINTER(before);
  wrong(1, 0);
  READ_STACK_POINTER(after);
  return (intptr_t)(after - before);
}

int RunStackCheckSelfTest(void) {
  printf("-- stack check\n");
  const FARPROC search = GetProcAddress(GetModuleHandleA("ZarvoAC.dll"), "Zarvo_SearchAR");
  if (search == NULL) {
    printf("FAIL Zarvo_SearchAR not found in ZarvoAC.dll\n");
    return 1;
  }
  /* Zarvo_SearchAR takes one argument; this caller pushes two. */
  const intptr_t change = StackChangeOfWrongCall((TwoArguments)(uintptr_t)search);
  if (change == 0) {
    printf("FAIL the stack check does not notice a wrong argument size\n");
    return 1;
  }
  printf("ok   a call with one argument too many moves the stack pointer by %ld\n", (long)change);
  return 0;
}
#else
int RunStackCheckSelfTest(void) {
  printf("-- stack check: not needed (64-bit Windows has one calling convention)\n");
  return 0;
}
#endif
