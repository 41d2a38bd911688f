#include "web/terminal_page.h"

#include "web/board_page.h"
#include "web/terminal_script.h"

namespace web {
namespace {

// Large type and targets for gloves and a glance from the machine; status
// colours as on the plant board.
constexpr const char* kStyle = R"css(
:root { color-scheme: dark; }
* { box-sizing: border-box; }
html, body { margin: 0; height: 100%; }
body { background: #111418; color: #e8eaed; font-size: 18px;
       font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; }
header { display: flex; align-items: center; gap: 16px; padding: 8px 16px;
         background: #1c2128; border-bottom: 1px solid #2d333b; flex-wrap: wrap; }
header h1 { margin: 0; font-size: 26px; }
.link { margin-left: auto; font-size: 16px; padding: 6px 12px; border-radius: 6px; }
.link.online { background: #1f6f3a; } .link.offline { background: #8b1d1d; }
.layout { display: grid; grid-template-columns: minmax(320px, 5fr) 7fr; gap: 12px; padding: 12px; }
.state { background: #1c2128; border: 1px solid #2d333b; border-radius: 10px; overflow: hidden; }
.status { padding: 12px 16px; color: #111418; background: #6e7681; }
.status b { display: block; font-size: 34px; text-transform: uppercase; }
.status span { font-size: 18px; font-weight: 600; }
.status.cycle { background: #3fb950; } .status.setup { background: #58a6ff; }
.status.teardown { background: #bc8cff; } .status.downtime { background: #f85149; }
.status.idle { background: #d29922; }
dl { display: grid; grid-template-columns: auto 1fr; gap: 6px 14px; margin: 0; padding: 12px 16px; }
dt { color: #adbac7; } dd { margin: 0; font-weight: 700; overflow-wrap: anywhere; }
.downtime-open { margin: 0 16px 12px; padding: 8px 12px; border-radius: 6px; background: #5c1a1a; }
.downtime-open:empty { display: none; }
.actions { display: grid; gap: 10px; align-content: start; }
fieldset { border: 1px solid #2d333b; border-radius: 10px; margin: 0; padding: 8px 10px 10px;
           display: grid; grid-template-columns: repeat(auto-fill, minmax(140px, 1fr)); gap: 8px; }
legend { color: #adbac7; padding: 0 6px; }
button { min-height: 56px; min-width: 48px; font: inherit; font-size: 17px; font-weight: 700; color: #e8eaed;
         background: #2d333b; border: 2px solid #444c56; border-radius: 8px; padding: 6px 10px;
         touch-action: manipulation; }
button:active { background: #444c56; }
button.start { border-color: #3fb950; } button.end { border-color: #d29922; }
button.chosen { background: #1f6feb; }
.overlay { position: fixed; inset: 0; background: rgba(0, 0, 0, 0.7); display: flex;
           align-items: flex-start; justify-content: center; padding: 16px; overflow-y: auto; }
.overlay[hidden], .entry[hidden] { display: none; }
.panel { min-width: 0; background: #1c2128; border: 1px solid #444c56; border-radius: 12px; width: min(720px, 100%);
         padding: 16px; display: grid; grid-template-columns: minmax(0, 1fr); gap: 12px; }
.panel h2 { margin: 0; font-size: 24px; }
.choices { display: grid; grid-template-columns: repeat(auto-fill, minmax(140px, 1fr)); gap: 8px; }
.choices button { min-width: 0; overflow-wrap: anywhere; }
.choices h3 { grid-column: 1 / -1; margin: 6px 0 0; font-size: 17px; color: #adbac7; }
.choices button small { display: block; font-weight: 400; font-size: 15px; color: #adbac7; }
.entry { display: flex; gap: 8px; }
.entry input { flex: 1 1 auto; width: 0; min-height: 56px; min-width: 0; font: inherit; font-size: 24px; padding: 6px 12px;
               border-radius: 8px; border: 2px solid #444c56; background: #0d1117; color: #e8eaed; }
.hint { color: #f0b72f; min-height: 1.2em; margin: 0; }
.row { display: flex; gap: 8px; justify-content: flex-end; }
.row button { min-width: 140px; }
button.confirm { background: #1f6f3a; border-color: #3fb950; }
.queue { color: #f0b72f; }
@media (max-width: 760px) {
  .layout { grid-template-columns: 1fr; padding: 8px; }
  .choices { grid-template-columns: repeat(2, minmax(0, 1fr)); }
  fieldset { grid-template-columns: repeat(2, 1fr); }
  .status b { font-size: 28px; }
}
)css";

constexpr const char* kBody = R"html(
<header>
  <h1>Machine <span data-state="machine"></span> <span data-state="machine-name"></span></h1>
  <span class="link online" data-state="link">connecting</span>
</header>
<div class="layout">
  <section class="state" aria-live="polite">
    <div class="status" data-state-box="status"><b data-state="status">…</b>
      <span>since <span data-state="since">…</span></span></div>
    <dl>
      <dt>Operator</dt><dd data-state="operator">…</dd>
      <dt>Job</dt><dd data-state="job">…</dd>
      <dt>Part</dt><dd data-state="part">…</dd>
      <dt>Operation</dt><dd data-state="operation">…</dd>
      <dt>Shift good / scrap</dt><dd><span data-state="good">…</span> / <span data-state="scrap">…</span></dd>
      <dt>Shift OEE</dt><dd data-state="oee">…</dd>
      <dt>Waiting to send</dt><dd class="queue" data-state="queued">0</dd>
      <dt>Last action</dt><dd data-state="last-result"></dd>
    </dl>
    <p class="downtime-open" data-state="downtime"></p>
  </section>
  <section class="actions">
    <fieldset><legend>Operator</legend>
      <button class="start" data-action="logon">Log on</button>
      <button class="end" data-action="logoff">Log off</button>
    </fieldset>
    <fieldset><legend>Job, part, operation</legend>
      <button class="start" data-action="job-start">Start job</button>
      <button class="end" data-action="job-end">End job</button>
      <button class="start" data-action="part-start">Start part</button>
      <button class="end" data-action="part-end">End part</button>
      <button class="start" data-action="op-start">Start operation</button>
      <button class="end" data-action="op-end">End operation</button>
    </fieldset>
    <fieldset><legend>Machine</legend>
      <button class="start" data-action="setup-start">Start setup</button>
      <button class="end" data-action="setup-end">End setup</button>
      <button class="start" data-action="teardown-start">Start teardown</button>
      <button class="end" data-action="teardown-end">End teardown</button>
      <button class="start" data-action="downtime-start">Machine down</button>
      <button class="end" data-action="downtime-end">Machine up</button>
      <button class="start" data-action="user-downtime-start">Operator away</button>
      <button class="end" data-action="user-downtime-end">Operator back</button>
    </fieldset>
    <fieldset><legend>Parts made</legend>
      <button class="start" data-action="good">Good parts</button>
      <button class="end" data-action="scrap">Scrap</button>
    </fieldset>
  </section>
</div>
<div class="overlay" id="panel" hidden>
  <div class="panel" role="dialog" aria-modal="true" aria-labelledby="panel-title">
    <h2 id="panel-title"></h2>
    <div class="choices" id="choices"></div>
    <div class="entry" id="entry">
      <input data-entry autocomplete="off" aria-label="Value">
      <button data-action="submit-entry">Enter</button>
    </div>
    <p class="hint" id="hint"></p>
    <div class="row">
      <button data-action="cancel">Cancel</button>
      <button class="confirm" data-action="confirm" hidden>Yes</button>
    </div>
  </div>
</div>
)html";

}  // namespace

std::string RenderTerminalPage(const std::string& machine_number, int refresh_seconds) {
  const std::string machine = HtmlEscape(machine_number);
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>Terminal " + machine + "</title>\n<style>" + std::string(kStyle) + "</style>\n";
  page += "</head><body data-machine=\"" + machine + "\" data-refresh=\"" +
          std::to_string(refresh_seconds) + "\">";
  page += kBody;
  page += "<script>" + std::string(kTerminalScript) + "</script>\n</body></html>\n";
  return page;
}

}  // namespace web
