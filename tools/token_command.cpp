#include "tools/token_command.h"

#include "web/token_store.h"

CLI::App* AddTokenCommand(CLI::App& app, TokenOptions& options) {
  CLI::App* token =
      app.add_subcommand("token", "Manage the bearer tokens of the board's HTTP interface");
  CLI::App* add = token->add_subcommand(
      "add", "Create a token, print it once and store only its hash in the machine settings store");
  add->add_option("NAME", options.name, "Name of the token (letters, digits, . _ -)")->required();
  token->add_subcommand("list", "Print the names of the stored tokens");
  CLI::App* remove =
      token->add_subcommand("remove", "Remove a token; clients using it are refused at once");
  remove->add_option("NAME", options.name, "Name of the token")->required();
  token->require_subcommand(1);
  return token;
}

int RunToken(CLI::App& token, const TokenOptions& options, std::ostream& out, std::ostream& err) {
  if (token.got_subcommand("list")) {
    for (const std::string& name : web::TokenNames()) out << name << "\n";
    return 0;
  }
  const bool adding = token.got_subcommand("add");
  const web::TokenResult result =
      adding ? web::AddToken(options.name) : web::RemoveToken(options.name);
  if (!result.ok) {
    err << result.text << "\n";
    return 1;
  }
  if (adding) out << result.text << "\n";
  return 0;
}
