// Reads arbitrary bytes as an adapter's SHDR stream, in chunks as a socket
// delivers them: the line buffer, the reader with its multi-line blocks and
// the mapping must neither crash nor invent what is not there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mtconnect/line_buffer.h"
#include "mtconnect/observation_mapper.h"
#include "mtconnect/shdr_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  mtconnect::LineBuffer buffer(4096);
  mtconnect::ShdrReader reader;
  mtconnect::ObservationMapper mapper(mtconnect::MappingOptions{});
  // The first byte chooses the chunk size, so lines also arrive in pieces.
  const size_t chunk = size == 0 ? 1 : 1 + data[0] % 64;
  for (size_t at = 0; at < stream.size(); at += chunk) {
    buffer.Append(stream.substr(at, chunk));
    std::string line;
    bool overlong = false;
    while (buffer.Next(line, overlong)) {
      if (!overlong && line.size() > buffer.max_line()) __builtin_trap();
      const mtconnect::ShdrLine parsed =
          overlong ? reader.Overlong(buffer.max_line()) : reader.Next(line);
      if (parsed.kind != mtconnect::ShdrLineKind::kData) continue;
      for (const auto& [item, value] : parsed.items) {
        // Every pair comes from the line itself.
        if (item.empty() || line.find(item) == std::string::npos) __builtin_trap();
        for (const auto& command : mapper.Observe({parsed.utc_ms, item, value, ""})) {
          if (command.utc_ms != parsed.utc_ms) __builtin_trap();
        }
      }
    }
  }
  const mtconnect::ShdrCounts& counts = reader.counts();
  if (counts.data_lines + counts.skipped_lines + counts.malformed_lines + counts.protocol_lines >
      counts.lines) {
    __builtin_trap();
  }
  return 0;
}
