#include "mtconnect/shdr_reader.h"

namespace mtconnect {

ShdrLine ShdrReader::Next(std::string_view line) {
  ++counts_.lines;
  if (!block_end_.empty()) {
    std::string_view content = line;
    if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
    if (content == block_end_) block_end_.clear();
    ++counts_.skipped_lines;
    ShdrLine skipped;
    skipped.kind = ShdrLineKind::kAsset;
    return skipped;
  }
  ShdrLine parsed = ParseShdrLine(line);
  block_end_ = parsed.block_end;
  switch (parsed.kind) {
    case ShdrLineKind::kData:
      ++counts_.data_lines;
      break;
    case ShdrLineKind::kAsset:
      ++counts_.skipped_lines;
      break;
    case ShdrLineKind::kProtocol:
      ++counts_.protocol_lines;
      break;
    case ShdrLineKind::kMalformed:
      ++counts_.malformed_lines;
      break;
    case ShdrLineKind::kBlank:
      break;
  }
  return parsed;
}

ShdrLine ShdrReader::Overlong(size_t limit) {
  ++counts_.lines;
  ++counts_.malformed_lines;
  ShdrLine dropped;
  dropped.kind = ShdrLineKind::kMalformed;
  dropped.text = "longer than " + std::to_string(limit) + " bytes";
  return dropped;
}

}  // namespace mtconnect
