#pragma once

#include "responder.h"

namespace zarvo::bench {

// A probe of every address on a bus where nobody answers, against the sum of
// the silence limits it must wait out, and a probe repeated at once after
// its time-out; prints the figures.
void AddressScanFigures(Responder& responder, int last_address);

}  // namespace zarvo::bench
