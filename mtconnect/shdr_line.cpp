#include "mtconnect/shdr_line.h"

#include "mtconnect/utc_time.h"

namespace mtconnect {

namespace {

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t bar = line.find('|', start);
    if (bar == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, bar - start));
    start = bar + 1;
  }
}

ShdrLine Malformed(std::string reason) {
  ShdrLine parsed;
  parsed.kind = ShdrLineKind::kMalformed;
  parsed.text = std::move(reason);
  return parsed;
}

// The end marker of the block a field opens, or "" when it opens none.
std::string BlockEnd(std::string_view field) {
  if (field.substr(0, kMultilinePrefix.size()) != kMultilinePrefix) return "";
  return std::string(Trim(field));
}

}  // namespace

ShdrLine ParseShdrLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ShdrLine parsed;
  const std::string_view trimmed = Trim(line);
  if (trimmed.empty()) return parsed;
  if (trimmed.front() == '*') {
    parsed.kind = ShdrLineKind::kProtocol;
    parsed.text = std::string(Trim(trimmed.substr(1)));
    return parsed;
  }
  const std::vector<std::string_view> fields = SplitFields(line);
  const std::optional<int64_t> time = ParseUtcTimestamp(Trim(fields[0]));
  if (!time) return Malformed("no UTC time stamp at the start");
  if (fields.size() < 3) return Malformed("no item and value after the time stamp");
  parsed.utc_ms = *time;
  for (const std::string_view field : fields) {
    parsed.block_end = BlockEnd(field);
    if (!parsed.block_end.empty()) break;
  }
  if (!fields[1].empty() && fields[1].front() == '@') {
    parsed.kind = ShdrLineKind::kAsset;
    return parsed;
  }
  parsed.kind = ShdrLineKind::kData;
  for (size_t i = 1; i + 1 < fields.size(); i += 2) {
    const std::string_view item = Trim(fields[i]);
    // A multi-line value belongs to the block, not to the log.
    if (item.empty() || !BlockEnd(fields[i + 1]).empty()) continue;
    parsed.items.emplace_back(std::string(item), std::string(Trim(fields[i + 1])));
  }
  return parsed;
}

}  // namespace mtconnect
