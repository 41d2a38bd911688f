// The SHDR line: one line of an MTConnect adapter's stream.
//
//   2022-08-08T13:51:36.7711738Z|pexecution|ACTIVE|ppartcount|3
//   * PONG 10000
//   2022-08-08T13:43:36.0810790Z|@ASSET@|123456.2201|CuttingTool|--multiline--ABCD
//
// A data line is a UTC time stamp followed by item|value pairs; a line that
// begins with "*" is a protocol line (heartbeat, adapter properties); items
// that begin with "@" are asset commands. A value "--multiline--MARK" opens a
// block of lines that ends at a line reading exactly "--multiline--MARK".
//
// The parser knows no device model, so it cannot tell conditions, messages
// or time series (whose values span several fields) from events: it pairs the
// fields in order and leaves an odd last field unused. Conditions and
// messages are therefore understood on their own lines, where adapters write
// them. Pure function of its input; thread-safe.
#ifndef VOLTRANE_MTCONNECT_SHDR_LINE_H_
#define VOLTRANE_MTCONNECT_SHDR_LINE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mtconnect {

enum class ShdrLineKind {
  kData,       // time stamp and item|value pairs
  kProtocol,   // "* ..." (text holds what follows the "*")
  kAsset,      // an asset command: nothing for the log
  kBlank,      // empty or white space only
  kMalformed,  // text holds the reason
};

struct ShdrLine {
  ShdrLineKind kind = ShdrLineKind::kBlank;
  int64_t utc_ms = 0;                                      // kData and kAsset
  std::vector<std::pair<std::string, std::string>> items;  // kData, in line order
  std::string text;
  // Non-empty when the line opens a multi-line block: the line that ends it.
  std::string block_end;
};

inline constexpr std::string_view kMultilinePrefix = "--multiline--";

ShdrLine ParseShdrLine(std::string_view line);

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_SHDR_LINE_H_
