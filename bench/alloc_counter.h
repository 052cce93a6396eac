#pragma once

namespace zarvo::bench {

void StartCountingAllocations();
// Allocations made on this thread since StartCountingAllocations().
unsigned long long StopCountingAllocations();

}  // namespace zarvo::bench
