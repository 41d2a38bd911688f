#include "mtconnect/line_buffer.h"

namespace mtconnect {

void LineBuffer::Append(std::string_view bytes) { pending_.append(bytes); }

bool LineBuffer::Next(std::string& line, bool& overlong) {
  overlong = false;
  const size_t end = pending_.find('\n', scanned_);
  if (end == std::string::npos) {
    scanned_ = pending_.size();
    if (pending_.size() > max_line_) {
      dropping_ = true;
      pending_.clear();
      scanned_ = 0;
    }
    return false;
  }
  if (dropping_ || end > max_line_) {
    dropping_ = false;
    overlong = true;
    line.clear();
  } else {
    line.assign(pending_, 0, end);
  }
  pending_.erase(0, end + 1);
  scanned_ = 0;
  return true;
}

void LineBuffer::Clear() {
  pending_.clear();
  scanned_ = 0;
  dropping_ = false;
}

}  // namespace mtconnect
