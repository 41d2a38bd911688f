// The project version compiled into the library.
#include "library/library_version.h"

const char* Korvex7CompiledVersion() { return VOLTRANE_VERSION; }
