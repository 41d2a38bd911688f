// Upper-casing of job, operation, part and serial numbers, which the shop
// floor stores and compares in upper case.
//
// The text is UTF-8; letters beyond ASCII are upper-cased too ("flügel" ->
// "FLÜGEL"), one character to one character. Bytes that are not valid UTF-8
// are kept unchanged. Pure function: no failure, safe from any thread.
#ifndef VOLTRANE_LIBRARY_UPPER_CASE_H_
#define VOLTRANE_LIBRARY_UPPER_CASE_H_

#include <string>

namespace korvex7::internal {

std::string UpperCaseText(const std::string& text);

}  // namespace korvex7::internal

#endif  // VOLTRANE_LIBRARY_UPPER_CASE_H_
