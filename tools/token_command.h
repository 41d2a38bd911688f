// `korvex7 token add|list|remove NAME`: the bearer tokens of the board's HTTP
// interface (see web/token_store.h). `add` prints the new token as the only
// line of its output; it is not shown again. `add --machines 101,102` limits
// the token to posting for those machines, `--read-only` to reading; `list`
// prints a limited token's limits after its name. Needs no database. Exit code 0
// on success, 1 with a message on standard error otherwise.
#ifndef VOLTRANE_TOOLS_TOKEN_COMMAND_H_
#define VOLTRANE_TOOLS_TOKEN_COMMAND_H_

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

struct TokenOptions {
  std::string name;
  std::string machines;  // "101,102"; "" for every machine
  bool read_only = false;
};

CLI::App* AddTokenCommand(CLI::App& app, TokenOptions& options);

// `token` is the subcommand returned by AddTokenCommand, already parsed.
int RunToken(CLI::App& token, const TokenOptions& options, std::ostream& out, std::ostream& err);

#endif  // VOLTRANE_TOOLS_TOKEN_COMMAND_H_
