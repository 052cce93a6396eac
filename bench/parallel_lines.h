// Lines driven in parallel through line handles, and what a call on a
// created line costs in heap allocations.
#pragma once

namespace zarvo::bench {

// Prints the aggregate exchange rate of 1, 2, 4 and 8 lines, each on its own
// responder paced at 9600 bit/s and driven by its own thread, against N
// times one line's rate; returns the count of failed calls.
int ParallelLineFigures(int exchanges_per_line);
// Prints the heap allocations per call on a line from Zarvo_LineCreate;
// returns the count of failed calls.
int CreatedLineAllocationFigures();

}  // namespace zarvo::bench
