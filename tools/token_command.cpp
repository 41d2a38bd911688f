#include "tools/token_command.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <optional>

#include "web/token_store.h"

CLI::App* AddTokenCommand(CLI::App& app, TokenOptions& options) {
  CLI::App* token =
      app.add_subcommand("token", "Manage the bearer tokens of the board's HTTP interface");
  CLI::App* add = token->add_subcommand(
      "add", "Create a token, print it once and store only its hash in the machine settings store");
  add->add_option("NAME", options.name, "Name of the token (letters, digits, . _ -)")->required();
  add->add_option("--machines", options.machines,
                  "Machine numbers, comma-separated, the token may post commands for");
  add->add_flag("--read-only", options.read_only, "The token may read but not post commands");
  token->add_subcommand("list", "Print the names of the stored tokens");
  CLI::App* remove =
      token->add_subcommand("remove", "Remove a token; clients using it are refused at once");
  remove->add_option("NAME", options.name, "Name of the token")->required();
  token->require_subcommand(1);
  return token;
}

namespace {

std::string LimitsText(const web::TokenScope& scope) {
  std::string text;
  if (!scope.machines.empty())
    text += " machines=" + fmt::format("{}", fmt::join(scope.machines, ","));
  if (scope.read_only) text += " read-only";
  return text;
}

int ListTokens(std::ostream& out) {
  for (const std::string& name : web::TokenNames()) {
    const std::optional<web::TokenScope> scope = web::TokenScopeOf(name);
    out << name << (scope ? LimitsText(*scope) : std::string()) << "\n";
  }
  return 0;
}

}  // namespace

int RunToken(CLI::App& token, const TokenOptions& options, std::ostream& out, std::ostream& err) {
  if (token.got_subcommand("list")) return ListTokens(out);
  const bool adding = token.got_subcommand("add");
  web::TokenScope scope;
  scope.read_only = options.read_only;
  if (adding && !options.machines.empty() &&
      !web::ParseMachineList(options.machines, scope.machines)) {
    err << "invalid --machines \"" << options.machines
        << "\": give machine numbers separated by commas, e.g. 101,102\n";
    return 1;
  }
  const web::TokenResult result =
      adding ? web::AddToken(options.name, scope) : web::RemoveToken(options.name);
  if (!result.ok) {
    err << result.text << "\n";
    return 1;
  }
  if (adding) out << result.text << "\n";
  return 0;
}
