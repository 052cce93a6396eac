/* The probe from C, timed in C, on a line the .NET benchmark opened: the benchmark alternates
 * it with the same probe through the binding, against the same virtual controller. */
#include <stdint.h>
#include <time.h>

#include "zarvoac.h"

__attribute__((visibility("default"))) int64_t ZarvoBench_TimedProbe(ZarvoLine* line,
                                                                     int32_t address,
                                                                     int32_t* result) {
  struct timespec start, end;
  clock_gettime(CLOCK_MONOTONIC, &start);
  *result = Zarvo_LineSearchAR(line, address);
  clock_gettime(CLOCK_MONOTONIC, &end);
  return (int64_t)(end.tv_sec - start.tv_sec) * 1000000000 + (end.tv_nsec - start.tv_nsec);
}
