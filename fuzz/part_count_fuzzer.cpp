// Part-count parameters as machines send them, and as garbled lines deliver
// them: a count is always a whole number in the counters' range, and the scrap
// code is exactly the text after the first full stop.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "library/handlers/part_count_parameters.h"

using namespace korvex7::internal;  // the library's internals

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t count = NormalizePartCount(text);
  if (count == std::numeric_limits<int32_t>::min()) __builtin_trap();
  const ScrapCountParameter scrap = ParseScrapCountParameter(text);
  const size_t dot = text.find('.');
  const std::string code = dot == std::string::npos ? std::string() : text.substr(dot + 1);
  if (scrap.strCode != code) __builtin_trap();
  return 0;
}
