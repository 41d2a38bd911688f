// The version the library reports for itself (its "file version").
#ifndef VOLTRANE_LIBRARY_LIBRARY_VERSION_H_
#define VOLTRANE_LIBRARY_LIBRARY_VERSION_H_

const char* Korvex7CompiledVersion();

#endif  // VOLTRANE_LIBRARY_LIBRARY_VERSION_H_
