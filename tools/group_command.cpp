#include "tools/group_command.h"

#include <fmt/format.h>

#include <memory>
#include <optional>
#include <vector>

#include "dbaccess/db_error.h"
#include "library/com_error.h"
#include "library/group/group_tables.h"
#include "library/session/session.h"
#include "tools/connect_wait_clock.h"
#include "tools/library_object.h"

namespace {

namespace group = korvex7::internal::group;

int Failed(std::ostream& err, const std::string& text) {
  err << text << "\n";
  return 1;
}

}  // namespace

GroupCommands AddGroupCommands(CLI::App& app, GroupOptions& options) {
  GroupCommands commands;
  commands.group = app.add_subcommand(
      "group", "Several collectors share one PostgreSQL database's log as a collector group");
  commands.group->require_subcommand(1);
  commands.create = commands.group->add_subcommand(
      "create", "Turn the database to group mode: option 14 names the group");
  commands.create->add_option("NAME", options.name, "The group's name")->required();
  commands.create
      ->add_option("--partition", options.partition,
                   "What moves between members: a machine group, a machine or a location")
      ->check(CLI::IsMember({"group", "machine", "location"}))
      ->capture_default_str();
  commands.create
      ->add_option("--lease-seconds", options.lease_seconds,
                   "How long a member's partitions stay its own without renewal")
      ->check(CLI::PositiveNumber)
      ->capture_default_str();
  commands.status = commands.group->add_subcommand(
      "status", "List the members, then each partition with its owner and the rows waiting");
  commands.drop = commands.group->add_subcommand(
      "drop", "Turn the database back to one designated computer (no member may be live)");
  commands.drop->add_option("--designate", options.designate,
                            "The computer to designate; without it, the first that processes");
  return commands;
}

int RunGroup(const DatabaseChoice& choice, const GroupCommands& commands,
             const GroupOptions& options, std::ostream& out, std::ostream& err) {
  auto clock = std::make_shared<ConnectWaitClock>(err);
  korvex7::internal::Session session(clock);
  try {
    std::string error;
    clock->BeginConnect(DescribeDatabase(choice),
                        choice.wait_as_service
                            ? std::nullopt
                            : std::optional<int64_t>(kInteractiveConnectWaitMs));
    const bool connected =
        session.ConnectToDatabase(choice.connection_string, choice.database_type, error);
    clock->EndConnect();
    if (!connected) return Failed(err, "Could not connect to the database: " + error);
    if (!session.dialect().collector_groups) {
      return Failed(err, group::ServerDatabaseNeededText(session.dialect().display_name));
    }
    if (commands.create->parsed()) {
      const std::optional<group::PartitionKind> kind =
          group::ParsePartitionKind(options.partition);
      if (!kind) return Failed(err, "Unknown partition kind: " + options.partition);
      if (!group::CreateGroup(session, options.name, *kind, options.lease_seconds, error)) {
        return Failed(err, error);
      }
      out << fmt::format("The database is in group mode: group '{}', partition by {}, lease {} s.\n",
                         options.name, options.partition, options.lease_seconds);
      return 0;
    }
    if (commands.drop->parsed()) {
      if (!group::DropGroup(session, options.designate, error)) return Failed(err, error);
      out << (options.designate.empty()
                  ? std::string("The group is dropped; the first computer that processes is "
                                "designated.\n")
                  : "The group is dropped; '" + options.designate + "' is designated.\n");
      return 0;
    }
    std::vector<std::string> lines;
    if (!group::GroupStatusLines(session, lines, error)) return Failed(err, error);
    for (const std::string& line : lines) out << line << "\n";
    return 0;
  } catch (const dbaccess::DbError& failure) {
    return Failed(err, fmt::format("Error # {}:{}", failure.number(), failure.description()));
  } catch (const ComError& failure) {
    return Failed(err, fmt::format("Error # {}:{}", failure.number(), failure.description()));
  }
}
