// ComError: a failure that escapes a public operation of the library object,
// carrying number, source and description as a failed COM call would. The
// collector service catches it at its boundary and reports it.
#ifndef VOLTRANE_LIBRARY_COM_ERROR_H_
#define VOLTRANE_LIBRARY_COM_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

#include "library/export.h"

// Exported: clients catch it from the shared library.
class VOLTRANE_EXPORT ComError : public std::runtime_error {
 public:
  ComError(int32_t number, std::string source, std::string description)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)) {}

  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

#endif  // VOLTRANE_LIBRARY_COM_ERROR_H_
