// The version the library reports for itself (its "file version"): the
// project version compiled in, and the path of the library file it runs from.
#ifndef VOLTRANE_LIBRARY_LIBRARY_VERSION_H_
#define VOLTRANE_LIBRARY_LIBRARY_VERSION_H_

#include <string>

const char* Korvex7CompiledVersion();

// The version of the library file this code runs from, with the file's full
// path (at most 206 characters) in `path`; "Unknown" when the file cannot be
// found or its path is longer.
std::string GetLibraryVersion(std::string& path);

#endif  // VOLTRANE_LIBRARY_LIBRARY_VERSION_H_
