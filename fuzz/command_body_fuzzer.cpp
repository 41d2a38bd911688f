// Fuzzes the parsing of the command intake's request body: any bytes must give
// either commands or a refusal naming a field, never a crash, a hang or an
// exception; and the check that follows must hold for whatever was parsed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "web/command_body.h"
#include "web/command_check.h"

namespace {

// Knows machines whose number is short and command type codes 4 to 20.
class FakeReferences : public web::ReferenceLookup {
 public:
  bool MachineExists(const std::string& machine_number) override {
    return machine_number.size() <= 3;
  }
  bool CommandTypeExists(int32_t command_type_code) override {
    return command_type_code >= 4 && command_type_code <= 20;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  web::BodyLimits limits;
  limits.max_commands = 64;
  const web::ParsedBody parsed = web::ParseCommandBody(body, limits);
  if (parsed.error.has_value() == !parsed.commands.empty()) std::abort();
  if (parsed.commands.size() > limits.max_commands) std::abort();
  FakeReferences references;
  const auto refused = web::FirstRefusedCommand(parsed.commands, references);
  if (refused && (refused->index >= parsed.commands.size() || refused->refusal.text.empty())) std::abort();
  return 0;
}
