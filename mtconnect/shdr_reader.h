// ShdrReader: the lines of one SHDR stream in order, with the multi-line
// blocks taken out and every kind of line counted.
//
// A source hands over each line as it arrives (without its line end); the
// reader remembers an open multi-line block across calls, so the lines inside
// it come back as kAsset and never reach the mapping. Reset() forgets an open
// block (a dropped connection ends it). Not thread-safe: one per stream.
#ifndef VOLTRANE_MTCONNECT_SHDR_READER_H_
#define VOLTRANE_MTCONNECT_SHDR_READER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "mtconnect/shdr_line.h"

namespace mtconnect {

struct ShdrCounts {
  uint64_t lines = 0;
  uint64_t data_lines = 0;
  uint64_t skipped_lines = 0;  // asset commands and the lines of multi-line blocks
  uint64_t protocol_lines = 0;
  uint64_t malformed_lines = 0;
};

class ShdrReader {
 public:
  ShdrLine Next(std::string_view line);
  // A line too long to keep, dropped by the source: counted as malformed.
  ShdrLine Overlong(size_t limit);
  void Reset() { block_end_.clear(); }
  const ShdrCounts& counts() const { return counts_; }
  bool InBlock() const { return !block_end_.empty(); }

 private:
  std::string block_end_;  // non-empty while inside a multi-line block
  ShdrCounts counts_;
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_SHDR_READER_H_
