// The pure pieces of the board: the shape of a command body, the checks the
// library's rules make before a batch is appended, the listen address, the
// token store in a sandboxed settings store, and the HTML escaping of texts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/settings_sandbox.h"
#include "web/board_options.h"
#include "web/board_page.h"
#include "web/command_body.h"
#include "web/command_check.h"
#include "web/token_store.h"

namespace {

using web::ParseCommandBody;

TEST(CommandBodyTest, AnObjectOrAnArrayGivesTheCommandsInOrderWithDefaults) {
  const web::ParsedBody one = ParseCommandBody(R"({"machine": "101", "type": 9})", {});
  ASSERT_FALSE(one.error) << one.error->message;
  ASSERT_EQ(one.commands.size(), 1u);
  EXPECT_EQ(one.commands[0].machine, "101");
  EXPECT_EQ(one.commands[0].type, 9);
  EXPECT_EQ(one.commands[0].param, "");
  EXPECT_EQ(one.commands[0].time_code, 0);

  const web::ParsedBody two = ParseCommandBody(
      R"([{"machine": "202", "type": 13, "param": "4", "time_code": 2}, {"machine": "101", "type": 0}])",
      {});
  ASSERT_FALSE(two.error);
  ASSERT_EQ(two.commands.size(), 2u);
  EXPECT_EQ(two.commands[0].machine, "202");
  EXPECT_EQ(two.commands[0].param, "4");
  EXPECT_EQ(two.commands[0].time_code, 2);
  EXPECT_EQ(two.commands[1].type, 0);
}

TEST(CommandBodyTest, ABodyOfTheWrongShapeNamesTheField) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},    // no JSON at all
      {"[]", ""},  // no command
      {"42", ""},  // not an object
      {R"([{"machine": "1", "type": 9}, 7])", "[1]"},
      {R"({"machine": "1"})", "type"},
      {R"({"machine": "1", "type": 4294967296})", "type"},  // beyond 32 bits
      {R"({"machine": "1", "type": 9.5})", "type"},
      {R"({"machine": "1", "type": 9, "param": 12})", "param"},
      {R"({"machine": "1", "type": 9, "time_code": "0"})", "time_code"},
      {R"({"machine": "1", "type": 9, "timecode": 1})", "timecode"},  // a misspelt field
      {R"({"machine": null, "type": 9})", "machine"},
  };
  for (const auto& [body, field] : cases) {
    const web::ParsedBody parsed = ParseCommandBody(body, {});
    ASSERT_TRUE(parsed.error) << body;
    EXPECT_EQ(parsed.error->field, field) << body;
    EXPECT_TRUE(parsed.commands.empty()) << body;
  }
}

TEST(CommandBodyTest, DepthAndCountAreLimited) {
  web::BodyLimits limits;
  limits.max_depth = 2;
  limits.max_commands = 3;
  EXPECT_FALSE(ParseCommandBody(R"([{"machine": "1", "type": 9}])", limits).error);
  const web::ParsedBody deep = ParseCommandBody(R"([[{"machine": "1", "type": 9}]])", limits);
  ASSERT_TRUE(deep.error);
  EXPECT_NE(deep.error->message.find("deeper than 2"), std::string::npos);
  // A hostile nesting is refused without building it.
  EXPECT_TRUE(ParseCommandBody(std::string(100000, '[') + std::string(100000, ']'), limits).error);
  const std::string four =
      R"([{"machine": "1", "type": 9}, {"machine": "1", "type": 9}, {"machine": "1", "type": 9}, {"machine": "1", "type": 9}])";
  ASSERT_TRUE(ParseCommandBody(four, limits).error);
  EXPECT_NE(ParseCommandBody(four, limits).error->message.find("more than 3"), std::string::npos);
}

class PlantReferences : public web::ReferenceLookup {
 public:
  bool MachineExists(const std::string& number) override { return number == "101"; }
  bool CommandTypeExists(int32_t code) override { return code == 9; }
};

TEST(CommandCheckTest, TheFirstCommandTheLibraryWouldRefuseWinsWithItsText) {
  PlantReferences plant;
  const auto command = [](std::string machine, int type, std::string param, int time_code) {
    return web::CommandRequest{std::move(machine), type, std::move(param), time_code, "", ""};
  };
  EXPECT_FALSE(
      web::FirstRefusedCommand({command("101", 9, "", 0), command("101", 9, "x", 2)}, plant));
  const auto refused = web::FirstRefusedCommand(
      {command("101", 9, "", 0), command("102", 9, "", 0), command("101", 8, "", 0)}, plant);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->index, 1u);
  using korvex7::CommandRefusal;
  using korvex7::Refusal;
  EXPECT_EQ(refused->refusal, (CommandRefusal{Refusal::kNoSuchMachine, "No such machine: 102"}));
  EXPECT_EQ(web::FirstRefusedCommand({command("101", 8, "", 0)}, plant)->refusal,
            (CommandRefusal{Refusal::kNoSuchCommandType,
                            "No command with a COMMAND_TYPE_CODE of 8"}));
  // The time code and the length are refused before the lookups, as the library does.
  EXPECT_EQ(web::FirstRefusedCommand({command("999", 9, "", -1)}, plant)->refusal,
            (CommandRefusal{Refusal::kTimeCode,
                            " CommandTypeCode must be 0 - start, 1 - end, or 2 - both"}));
  std::string umlauts;
  for (int i = 0; i < 255; ++i) umlauts += "\xC3\xBC";
  EXPECT_FALSE(web::FirstRefusedCommand({command("101", 9, umlauts, 0)}, plant));
  EXPECT_EQ(web::FirstRefusedCommand({command("101", 9, umlauts + "x", 0)}, plant)->refusal,
            (CommandRefusal{Refusal::kParamTooLong,
                            "The parameter is 256 characters long; PARAM1 holds at most 255."}));
}

TEST(ListenAddressTest, HostAndPortIPv6InBracketsAndLoopbackForAnEmptyHost) {
  std::string host;
  int port = 0;
  ASSERT_TRUE(web::ParseListenAddress("0.0.0.0:9000", host, port));
  EXPECT_EQ(host, "0.0.0.0");
  EXPECT_EQ(port, 9000);
  ASSERT_TRUE(web::ParseListenAddress("[::1]:8081", host, port));
  EXPECT_EQ(host, "::1");
  ASSERT_TRUE(web::ParseListenAddress(":8082", host, port));
  EXPECT_EQ(host, "127.0.0.1");
  for (const char* bad : {"8080", "host:", "host:http", "host:70000", "::1:8080"}) {
    EXPECT_FALSE(web::ParseListenAddress(bad, host, port)) << bad;
  }
}

TEST(BoardOptionsTest, TheSettingsStoreOverridesTheDefaultsWhereItsValuesAreUsable) {
  testsupport::SettingsSandbox sandbox;
  EXPECT_EQ(web::ReadBoardOptions().host, "127.0.0.1");  // loopback unless told otherwise
  EXPECT_EQ(web::ReadBoardOptions().port, 8080);
  sandbox.WriteHives(
      "[Software.Voltrane.Board]\nListen = \"0.0.0.0:9090\"\nReadRequiresToken = 1\n"
      "MaxBodyBytes = 5000\nMaxConnections = 0\nMaxJsonDepth = \"deep\"\n",
      "");
  const web::BoardOptions options = web::ReadBoardOptions();
  EXPECT_EQ(options.host, "0.0.0.0");
  EXPECT_EQ(options.port, 9090);
  EXPECT_TRUE(options.read_requires_token);
  EXPECT_EQ(options.max_body_bytes, 5000u);
  EXPECT_EQ(options.max_connections, 16u);       // 0 is no limit to use
  EXPECT_EQ(options.body_limits.max_depth, 4u);  // not a number
}

TEST(TokenStoreTest, OnlyTheHashIsStoredInAPrivateFileAndRemovedTokensNoLongerVerify) {
  testsupport::SettingsSandbox sandbox;
  const web::TokenResult first = web::AddToken("terminal-1");
  ASSERT_TRUE(first.ok) << first.text;
  EXPECT_EQ(first.text.size(), 64u);
  const web::TokenResult second = web::AddToken("monitor.7");
  ASSERT_TRUE(second.ok);
  EXPECT_NE(first.text, second.text);
  EXPECT_FALSE(web::AddToken("terminal-1").ok);  // a name is not reused silently
  EXPECT_FALSE(web::AddToken("bad name").ok);
  EXPECT_EQ(web::TokenNames(), (std::vector<std::string>{"monitor.7", "terminal-1"}));

  const std::string hive = sandbox.dir() + "/machine.toml";
  const std::string stored = testsupport::ReadWholeFile(hive);
  EXPECT_EQ(stored.find(first.text), std::string::npos);
  EXPECT_NE(stored.find("sha256:" + web::Sha256Hex(first.text)), std::string::npos);
  struct stat info {};
  ASSERT_EQ(stat(hive.c_str(), &info), 0);
  // Owner only, or with the service account's group reading (never writing).
  EXPECT_EQ(info.st_mode & 0037, 0u);

  EXPECT_EQ(web::VerifyToken(first.text), "terminal-1");
  EXPECT_EQ(web::VerifyToken(second.text), "monitor.7");
  EXPECT_FALSE(web::VerifyToken(first.text.substr(0, 63)));
  EXPECT_FALSE(web::VerifyToken(""));
  ASSERT_TRUE(web::RemoveToken("terminal-1").ok);
  EXPECT_FALSE(web::VerifyToken(first.text));
  EXPECT_FALSE(web::RemoveToken("terminal-1").ok);
  EXPECT_EQ(web::VerifyToken(second.text), "monitor.7");
}

TEST(BoardPageTest, TextsFromTheDatabaseAreEscaped) {
  web::MachineTile tile;
  tile.number = "<b>1";
  tile.name = "Lathe \"A\" & 'B'";
  tile.status = 2;
  const std::string page =
      web::RenderBoardPage({tile}, dbaccess::DateTime::FromParts(2026, 3, 2), 5);
  EXPECT_EQ(page.find("<b>1"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;1"), std::string::npos);
  EXPECT_NE(page.find("Lathe &quot;A&quot; &amp; &#39;B&#39;"), std::string::npos);
  EXPECT_NE(page.find("href=\"/machines/%3Cb%3E1\""), std::string::npos);
  EXPECT_NE(page.find("data-status=\"cycle\""), std::string::npos);
}

}  // namespace
