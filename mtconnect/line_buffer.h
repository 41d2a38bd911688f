// LineBuffer: splits the bytes of a stream into lines ("\n", an optional
// "\r" before it is left for the parser). Lines may be of any length up to
// the limit; a longer one is dropped whole, without holding it in memory, and
// reported as overlong. Not thread-safe.
#ifndef VOLTRANE_MTCONNECT_LINE_BUFFER_H_
#define VOLTRANE_MTCONNECT_LINE_BUFFER_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace mtconnect {

class LineBuffer {
 public:
  explicit LineBuffer(size_t max_line) : max_line_(max_line) {}

  void Append(std::string_view bytes);
  // The next complete line (without "\n"); false when none is complete yet.
  // `overlong` is set instead of a line for one that exceeded the limit.
  bool Next(std::string& line, bool& overlong);
  void Clear();
  size_t max_line() const { return max_line_; }

 private:
  const size_t max_line_;
  std::string pending_;    // bytes after the last complete line
  size_t scanned_ = 0;     // bytes of pending_ known to hold no "\n"
  bool dropping_ = false;  // inside an overlong line: its bytes are thrown away
};

}  // namespace mtconnect

#endif  // VOLTRANE_MTCONNECT_LINE_BUFFER_H_
