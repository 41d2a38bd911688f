// The plant board as a browser shows it: Debian's headless Chromium loads the
// page from a running server, runs its script, and the dumped DOM must hold
// one tile per machine with the status the API reports. A screenshot is left
// in the build folder (board-screenshots/board.png) to be looked at. Skipped
// when Chromium is not installed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>

#include "tests/support/board_server_fixture.h"

namespace {

using json = nlohmann::json;

std::string FindChromium() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    const std::string probe = std::string("command -v ") + name + " >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return name;
  }
  return "";
}

// Runs headless Chromium on `url` with the extra switches; what it printed.
std::string RunChromium(const std::string& chromium, const std::string& switches,
                        const std::string& url, const std::string& profile) {
  const std::string command =
      "timeout 60 " + chromium +
      " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
      " --disable-background-networking --disable-component-update --disable-sync"
      " --user-data-dir=" +
      profile + " --window-size=1280,900 " + switches + " '" + url + "' 2>/dev/null";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  std::array<char, 4096> buffer{};
  size_t read = 0;
  while ((read = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), read);
  pclose(pipe);
  return output;
}

using BoardChromiumTest = testsupport::BoardServerTest;

TEST_P(BoardChromiumTest, EveryMachinesTileShowsItsStatus) {
  const std::string chromium = FindChromium();
  if (chromium.empty())
    GTEST_SKIP() << "chromium is not installed: the board page is not checked in a browser";
  StartServer();
  // A plant in every state: cycle with operator, part and counts, setup,
  // a downtime, a teardown, and one machine that never reported.
  const json batch = json::array({
      {{"machine", "101"}, {"type", 4}, {"param", "jsmith"}},
      {{"machine", "101"}, {"type", 5}, {"param", "J1001"}},
      {{"machine", "101"}, {"type", 6}, {"param", "SHAFT-100"}},
      {{"machine", "101"}, {"type", 9}},
      {{"machine", "101"}, {"type", 13}, {"param", "12"}},
      {{"machine", "101"}, {"type", 14}, {"param", "1"}},
      {{"machine", "102"}, {"type", 8}},
      {{"machine", "201"}, {"type", 11}, {"param", "110"}},
      {{"machine", "202"}, {"type", 10}},
  });
  ASSERT_EQ(Post(batch.dump(), token_)->status, 201);
  ProcessLog();

  std::map<std::string, std::string> expected;
  for (const json& tile : json::parse(Client("")->Get("/api/v1/machines")->body)) {
    expected[tile["machine"]] = tile["status"];
  }
  ASSERT_EQ(expected.size(), 5u);
  EXPECT_EQ(expected["101"], "cycle");
  EXPECT_EQ(expected["102"], "setup");
  EXPECT_EQ(expected["201"], "downtime");
  EXPECT_EQ(expected["202"], "teardown");
  EXPECT_EQ(expected["301"], "idle");

  const std::string url = "http://127.0.0.1:" + std::to_string(server_->port()) + "/";
  const std::string profile = testsupport::MakeTempDir();
  const std::string dom = RunChromium(chromium, "--dump-dom", url, profile);
  ASSERT_NE(dom.find("<main id=\"board\">"), std::string::npos) << dom.substr(0, 2000);
  std::map<std::string, std::string> shown;
  const std::regex tile("class=\"tile\" data-machine=\"([^\"]+)\" data-status=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), tile); it != std::sregex_iterator();
       ++it) {
    shown[(*it)[1]] = (*it)[2];
  }
  EXPECT_EQ(shown, expected);
  EXPECT_NE(dom.find("jsmith"), std::string::npos);
  EXPECT_NE(dom.find("SHAFT-100"), std::string::npos);
  EXPECT_NE(dom.find("12 / 1"), std::string::npos);

  const std::string directory = std::string(SCREENSHOT_DIR);
  std::system(("mkdir -p '" + directory + "'").c_str());
  RunChromium(chromium, "--screenshot=" + directory + "/board.png", url, profile);
  RunChromium(chromium, "--screenshot=" + directory + "/machine-101.png", url + "machines/101",
              profile);
  std::system(("rm -rf '" + profile + "'").c_str());
}

INSTANTIATE_TEST_SUITE_P(SQLite, BoardChromiumTest, testing::Values("SQLite"),
                         [](const testing::TestParamInfo<std::string>& param_info) {
                           return param_info.param;
                         });

}  // namespace
