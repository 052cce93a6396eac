/* The probe from C, timed in C, on a line the .NET benchmark opened: the benchmark alternates
 * it with the same probe through the binding, against the same virtual controller. Wall time
 * and the calling thread's CPU time, in nanoseconds. */
#include <stdint.h>
#include <time.h>

#include "zarvoac.h"

#define EXPORTED __attribute__((visibility("default")))

static int64_t nanoseconds(clockid_t clock) {
  struct timespec now;
  clock_gettime(clock, &now);
  return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

EXPORTED int64_t ZarvoBench_ThreadCpuNs(void) { return nanoseconds(CLOCK_THREAD_CPUTIME_ID); }

EXPORTED int64_t ZarvoBench_TimedProbe(ZarvoLine* line, int32_t address, int32_t* result,
                                       int64_t* cpuNs) {
  int64_t cpu = nanoseconds(CLOCK_THREAD_CPUTIME_ID);
  int64_t wall = nanoseconds(CLOCK_MONOTONIC);
  *result = Zarvo_LineSearchAR(line, address);
  wall = nanoseconds(CLOCK_MONOTONIC) - wall;
  *cpuNs = nanoseconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
  return wall;
}
