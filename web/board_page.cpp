#include "web/board_page.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>

#include "dbaccess/elapsed_time.h"
#include "reports/xml_text.h"

namespace web {
namespace {

// Colours a supervisor reads across the hall: green runs, red stands, amber waits.
constexpr const char* kStyle = R"css(
:root { color-scheme: dark; }
* { box-sizing: border-box; }
body { margin: 0; background: #111418; color: #e8eaed;
       font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; }
header { display: flex; justify-content: space-between; align-items: baseline;
         padding: 12px 24px; background: #1c2128; border-bottom: 1px solid #2d333b; }
header h1 { margin: 0; font-size: 28px; font-weight: 600; }
header .clock { font-size: 22px; color: #adbac7; }
header .stale { color: #ff6b6b; font-weight: 700; }
.alerts { background: #b00020; color: #fff; padding: 0.4em 1em; font-weight: 700; }
.alerts p { margin: 0.2em 0; }
main { display: grid; grid-template-columns: repeat(auto-fill, minmax(300px, 1fr));
       gap: 16px; padding: 16px 24px; }
.tile { background: #1c2128; border-radius: 10px; overflow: hidden;
        border: 1px solid #2d333b; text-decoration: none; color: inherit; display: block; }
.tile .head { display: flex; justify-content: space-between; align-items: baseline;
              padding: 10px 14px 4px; }
.tile .number { font-size: 34px; font-weight: 700; }
.tile .name { font-size: 17px; color: #adbac7; text-align: right; }
.tile .status { padding: 8px 14px; font-size: 26px; font-weight: 700; text-transform: uppercase;
                color: #111418; display: flex; flex-wrap: wrap; column-gap: 12px;
                justify-content: space-between; align-items: baseline; }
.tile .since { font-size: 16px; font-weight: 600; text-transform: none; white-space: nowrap; }
.status-cycle { background: #3fb950; }
.status-setup { background: #58a6ff; }
.status-teardown { background: #bc8cff; }
.status-downtime { background: #f85149; }
.status-idle { background: #d29922; }
.status-unknown { background: #768390; }
.tile dl { display: grid; grid-template-columns: auto 1fr; gap: 4px 12px; margin: 0;
           padding: 10px 14px 14px; font-size: 19px; }
.tile dt { color: #768390; }
.tile dd { margin: 0; font-weight: 600; white-space: nowrap; overflow: hidden;
           text-overflow: ellipsis; }
.tile .oee { font-size: 24px; }
.tile .factors { font-size: 16px; color: #adbac7; font-weight: 400; }
.legend { padding: 0 24px 16px; color: #768390; font-size: 15px; }
.legend span { display: inline-block; padding: 2px 10px; margin-right: 8px; border-radius: 4px;
               color: #111418; font-weight: 600; }
section { padding: 8px 24px; }
table { border-collapse: collapse; font-size: 16px; }
td, th { padding: 4px 12px; border-bottom: 1px solid #2d333b; text-align: left; }
svg { background: #fff; max-width: 100%; height: auto; }
a { color: #58a6ff; }
)css";

// Polls the machines and rewrites each tile's fields in place; a tile for a
// machine that appeared meanwhile needs a reload, which the script does.
constexpr const char* kScript = R"js(
(function () {
  var token = new URLSearchParams(location.search).get("token");
  var headers = token ? { "Authorization": "Bearer " + token } : {};
  var stale = document.getElementById("stale");
  function text(tile, field, value) {
    var cell = tile.querySelector("[data-field='" + field + "']");
    if (cell) cell.textContent = value;
  }
  function since(value, now) {
    if (!value) return "";
    var from = new Date(value), to = now ? new Date(now) : new Date();
    var minutes = Math.max(0, Math.floor((to - from) / 60000));
    var clock = value.substr(11, 5);
    if (value.substr(0, 10) !== (now || "").substr(0, 10)) clock = value.substr(0, 10) + " " + clock;
    var span = minutes < 60 ? minutes + " min"
             : minutes < 1440 ? Math.floor(minutes / 60) + " h " + (minutes % 60) + " min"
             : Math.floor(minutes / 1440) + " d " + Math.floor(minutes % 1440 / 60) + " h";
    return "since " + clock + " (" + span + ")";
  }
  function percent(ratio) { return ratio === null ? "\u2013" : (ratio * 100).toFixed(1) + " %"; }
  function factors(m) {
    function short(ratio) { return ratio === null ? "\u2013" : (ratio * 100).toFixed(0) + "%"; }
    return "A " + short(m.availability) + " \u00b7 P " + short(m.performance) + " \u00b7 Q " +
           short(m.quality);
  }
  function update(machines, now) {
    var known = 0;
    machines.forEach(function (m) {
      var tile = document.querySelector(".tile[data-machine='" + CSS.escape(m.machine) + "']");
      if (!tile) return;
      known++;
      tile.setAttribute("data-status", m.status);
      var band = tile.querySelector(".status");
      band.className = "status status-" + m.status;
      text(tile, "status", m.status);
      text(tile, "since", since(m.since, now));
      text(tile, "operator", m.operator || "\u2013");
      text(tile, "job", m.job || "\u2013");
      text(tile, "part", m.part || "\u2013");
      text(tile, "counts", m.good + " / " + m.scrap);
      text(tile, "oee", percent(m.oee));
      text(tile, "factors", factors(m));
    });
    if (known !== machines.length || known !== document.querySelectorAll(".tile").length) location.reload();
    if (now) document.getElementById("clock").textContent = now.replace("T", " ");
  }
  function poll() {
    fetch("/api/v1/machines", { headers: headers, cache: "no-store" })
      .then(function (r) {
        if (!r.ok) throw new Error(r.status);
        var now = r.headers.get("X-Database-Time");
        return r.json().then(function (machines) { update(machines, now); });
      })
      .then(function () { stale.hidden = true; }, function () { stale.hidden = false; });
  }
  setInterval(poll, REFRESH_MS);
})();
)js";

std::string Dash(const std::string& text) { return text.empty() ? "\u2013" : HtmlEscape(text); }

// Percent-encodes all but the unreserved characters, for a machine number in a path.
std::string UrlPathSegment(const std::string& text) {
  std::string encoded;
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
      encoded += c;
    } else {
      encoded += fmt::format("%{:02X}", u);
    }
  }
  return encoded;
}

// "12 min", "3 h 5 min", "2 d 4 h".
std::string SpanText(int64_t minutes) {
  if (minutes < 60) return fmt::format("{} min", minutes);
  if (minutes < 1440) return fmt::format("{} h {} min", minutes / 60, minutes % 60);
  return fmt::format("{} d {} h", minutes / 1440, minutes % 1440 / 60);
}

std::string SinceText(const std::optional<dbaccess::DateTime>& since,
                      const dbaccess::DateTime& now) {
  if (!since) return "";
  const std::string text = since->ToTextSeconds();
  std::string clock = text.substr(11, 5);
  if (text.substr(0, 10) != now.ToTextSeconds().substr(0, 10)) {
    clock = text.substr(0, 10) + " " + clock;
  }
  const int64_t minutes = std::max<int64_t>(0, dbaccess::ElapsedSeconds(*since, now) / 60);
  return fmt::format("since {} ({})", clock, SpanText(minutes));
}

std::string Percent(const std::optional<double>& ratio) {
  if (!ratio || !std::isfinite(*ratio)) return "\u2013";
  return fmt::format("{:.1f} %", *ratio * 100.0);
}

// "A 92% · P 81% · Q 99%", the factors of the shift's OEE.
std::string FactorsText(const MachineTile& tile) {
  const auto rounded = [](const std::optional<double>& ratio) {
    if (!ratio || !std::isfinite(*ratio)) return std::string("\u2013");
    return fmt::format("{:.0f}%", *ratio * 100.0);
  };
  return "A " + rounded(tile.availability) + " \u00b7 P " + rounded(tile.performance) +
         " \u00b7 Q " + rounded(tile.quality);
}

std::string TileHtml(const MachineTile& tile, const dbaccess::DateTime& now, bool link) {
  const std::string status = StatusName(tile.status);
  const std::string number = HtmlEscape(tile.number);
  return fmt::format(
      "<{tag} class=\"tile\" data-machine=\"{number}\" data-status=\"{status}\"{href}>\n"
      "<div class=\"head\"><span class=\"number\">{number}</span>"
      "<span class=\"name\">{name}</span></div>\n"
      "<div class=\"status status-{status}\"><span data-field=\"status\">{status}</span>"
      "<span class=\"since\" data-field=\"since\">{since}</span></div>\n"
      "<dl><dt>Operator</dt><dd data-field=\"operator\">{operator_name}</dd>"
      "<dt>Job</dt><dd data-field=\"job\">{job}</dd>"
      "<dt>Part</dt><dd data-field=\"part\">{part}</dd>"
      "<dt>Good / scrap</dt><dd data-field=\"counts\">{good} / {scrap}</dd>"
      "<dt>OEE shift</dt><dd class=\"oee\" data-field=\"oee\">{oee}</dd>"
      "<dt>A \u00b7 P \u00b7 Q</dt><dd class=\"factors\" data-field=\"factors\">{factors}</dd></dl>\n"
      "</{tag}>\n",
      fmt::arg("tag", link ? "a" : "div"), fmt::arg("number", number), fmt::arg("status", status),
      fmt::arg("href",
               link ? " href=\"/machines/" + UrlPathSegment(tile.number) + "\"" : std::string()),
      fmt::arg("name", HtmlEscape(tile.name)), fmt::arg("since", SinceText(tile.since, now)),
      fmt::arg("operator_name", Dash(tile.operator_name)), fmt::arg("job", Dash(tile.job)),
      fmt::arg("part", Dash(tile.part)), fmt::arg("good", tile.good), fmt::arg("scrap", tile.scrap),
      fmt::arg("oee", Percent(tile.oee)), fmt::arg("factors", FactorsText(tile)));
}

std::string Legend() {
  return "<div class=\"legend\">"
         "<span class=\"status-cycle\">cycle</span><span class=\"status-setup\">setup</span>"
         "<span class=\"status-teardown\">teardown</span>"
         "<span class=\"status-idle\">idle</span><span class=\"status-downtime\">downtime</span>"
         "<span class=\"status-unknown\">no data</span></div>\n";
}

std::string PageHead(const std::string& title) {
  return fmt::format(
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<title>{}</title>\n<style>{}</style></head>\n<body>\n",
      HtmlEscape(title), kStyle);
}

}  // namespace

// Page texts and attribute values are escaped as the reports escape theirs.
std::string HtmlEscape(const std::string& text) { return reports::XmlEscape(text); }

std::string RenderBoardPage(const std::vector<MachineTile>& tiles, const dbaccess::DateTime& now,
                            int refresh_seconds, const std::vector<std::string>& alerts) {
  std::string banner;
  if (!alerts.empty()) {
    banner = "<section class=\"alerts\" role=\"alert\">";
    for (const std::string& alert : alerts) banner += "<p>" + HtmlEscape(alert) + "</p>";
    banner += "</section>\n";
  }
  std::string page = PageHead("Plant board");
  page += fmt::format(
      "<header><h1>Plant board</h1><span><span id=\"stale\" class=\"stale\" hidden>"
      "no connection &#8211; </span><span class=\"clock\" id=\"clock\">{}</span></span></header>\n"
      "{}<main id=\"board\">\n",
      now.ToTextSeconds(), banner);
  for (const MachineTile& tile : tiles) page += TileHtml(tile, now, true);
  if (tiles.empty()) page += "<p>No machines are configured.</p>\n";
  page += "</main>\n" + Legend();
  std::string script = kScript;
  const std::string placeholder = "REFRESH_MS";
  script.replace(script.find(placeholder), placeholder.size(),
                 std::to_string(refresh_seconds * 1000));
  page += "<script>" + script + "</script>\n</body></html>\n";
  return page;
}

std::string RenderMachinePage(const MachineTile& tile, const std::string& timeline_svg,
                              const std::vector<MachineEvent>& events,
                              const dbaccess::DateTime& now) {
  std::string page = PageHead("Machine " + tile.number);
  page += fmt::format(
      "<header><h1>Machine {} &#8211; {}</h1><span class=\"clock\">{}</span></header>\n"
      "<main>\n{}</main>\n",
      HtmlEscape(tile.number), HtmlEscape(tile.name), now.ToTextSeconds(),
      TileHtml(tile, now, false));
  page += "<section><h2>Today</h2>\n";
  page += timeline_svg.empty() ? "<p>No timeline for today.</p>\n" : timeline_svg + "\n";
  page += "</section>\n<section><h2>Recent events</h2>\n";
  if (events.empty()) {
    page += "<p>No events recorded.</p>\n";
  } else {
    page += "<table><tr><th>Start</th><th>Stop</th><th>Event</th><th>Parameter</th></tr>\n";
    for (const MachineEvent& event : events) {
      page += fmt::format("<tr><td>{}</td><td>{}</td><td>{}</td><td>{}</td></tr>\n",
                          event.start.ToTextSeconds(),
                          event.stop ? event.stop->ToTextSeconds() : "open",
                          HtmlEscape(event.command), HtmlEscape(event.param));
    }
    page += "</table>\n";
  }
  page +=
      "</section>\n<p style=\"padding: 0 24px\"><a href=\"/\">&#8592; Plant board</a></p>\n"
      "</body></html>\n";
  return page;
}

}  // namespace web
