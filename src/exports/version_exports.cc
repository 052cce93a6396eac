// The library's own version, for programs to report beside theirs.
#include "zarvoac.h"

#ifndef ZARVO_VERSION
#define ZARVO_VERSION "unknown"
#endif

extern "C" {

ZARVO_API const char* ZARVO_CALL Zarvo_LibraryVersion(void) { return ZARVO_VERSION; }

}  // extern "C"
