// Checks a metrics text with Prometheus' own linter (`promtool check
// metrics`, Debian package prometheus): "" when it passes, else what promtool
// said. Tests that scrape a program's /metrics use it.
#ifndef VOLTRANE_TESTS_SUPPORT_PROMTOOL_CHECK_H_
#define VOLTRANE_TESTS_SUPPORT_PROMTOOL_CHECK_H_

#include <string>

namespace testsupport {

std::string PromtoolProblems(const std::string& metrics_text);

}  // namespace testsupport

#endif  // VOLTRANE_TESTS_SUPPORT_PROMTOOL_CHECK_H_
