// The parameters of the part-count commands. A good count is a number of
// parts; a scrap count is "quantity.code", where the code after the first
// full stop names the scrap code and may be left out for the default code.
// A quantity that is empty or not a number counts one part; a fraction is
// rounded half to even. Pure functions; thread-safe.
#ifndef VOLTRANE_LIBRARY_PART_COUNT_PARAMETERS_H_
#define VOLTRANE_LIBRARY_PART_COUNT_PARAMETERS_H_

#include <cstdint>
#include <string>

namespace korvex7::internal {

// The whole number of parts a count text stands for. Text that is not a
// plain decimal number, or whose value does not fit a 32-bit count, counts 1.
int32_t NormalizePartCount(const std::string& strCount);

struct ScrapCountParameter {
  int32_t lQuantity = 1;  // may be negative: parts counted good that turn out scrap
  std::string strCode;    // empty: the default scrap code
};

ScrapCountParameter ParseScrapCountParameter(const std::string& strParam);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_PART_COUNT_PARAMETERS_H_
