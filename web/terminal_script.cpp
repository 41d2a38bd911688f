#include "web/terminal_script.h"

namespace web {

// Commands go one at a time, oldest first, so the log keeps the order the
// operator acted in; each carries its id (a resend after a lost answer is
// answered "duplicate") and the local time it was made.
const char* const kTerminalScript = R"js(
(function () {
  'use strict';
  var machine = document.body.dataset.machine;
  var refreshMs = Math.max(1, Number(document.body.dataset.refresh) || 5) * 1000;
  var RETRY_MS = 2000;
  var SEND_TIMEOUT_MS = 8000;
  var TOKEN_KEY = 'voltrane.terminal.token';
  var QUEUE_KEY = 'voltrane.terminal.queue.' + machine;
  var TYPE = { logon: 4, job: 5, part: 6, op: 7, setup: 8, teardown: 10, downtime: 11,
               userDowntime: 12, good: 13, scrap: 14 };
  var START = 0, END = 1, BOTH = 2;
  var tile = {};
  var choices = null;

  // The token comes once in the address; it is kept and dropped from the bar.
  var address = new URL(window.location.href);
  if (address.searchParams.has('token')) {
    localStorage.setItem(TOKEN_KEY, address.searchParams.get('token'));
    address.searchParams.delete('token');
    history.replaceState(null, '', address.pathname + address.search + address.hash);
  }
  function headers() {
    var token = localStorage.getItem(TOKEN_KEY);
    var result = { 'Content-Type': 'application/json' };
    if (token) result.Authorization = 'Bearer ' + token;
    return result;
  }

  function el(selector) { return document.querySelector(selector); }
  function setState(name, text) { el('[data-state="' + name + '"]').textContent = text; }
  function pad(n, width) { return String(n).padStart(width || 2, '0'); }
  function localTime(d) {
    return d.getFullYear() + '-' + pad(d.getMonth() + 1) + '-' + pad(d.getDate()) + 'T' +
        pad(d.getHours()) + ':' + pad(d.getMinutes()) + ':' + pad(d.getSeconds()) + '.' +
        pad(d.getMilliseconds(), 3);
  }
  function shortTime(text) { return text ? text.replace('T', ' ').slice(0, 16) : '–'; }
  function setLink(online, text) {
    var link = el('[data-state="link"]');
    link.className = 'link ' + (online ? 'online' : 'offline');
    link.textContent = text;
  }

  // --- the queue of actions waiting to be sent ---------------------------------------
  function loadQueue() {
    try { return JSON.parse(localStorage.getItem(QUEUE_KEY)) || []; } catch (e) { return []; }
  }
  function saveQueue(queue) {
    localStorage.setItem(QUEUE_KEY, JSON.stringify(queue));
    setState('queued', String(queue.length));
  }
  function newId() {
    var bytes = new Uint8Array(12);
    crypto.getRandomValues(bytes);
    return 'terminal-' + Array.prototype.map.call(bytes, function (b) {
      return b.toString(16).padStart(2, '0');
    }).join('');
  }
  function enqueue(type, timeCode, param) {
    var queue = loadQueue();
    queue.push({ machine: machine, type: type, time_code: timeCode, param: param || '',
                 id: newId(), time: localTime(new Date()) });
    saveQueue(queue);
    flush();
  }

  var sending = false;
  function post(command) {
    var abort = new AbortController();
    var timer = setTimeout(function () { abort.abort(); }, SEND_TIMEOUT_MS);
    return fetch('/api/v1/commands', { method: 'POST', headers: headers(),
                                       body: JSON.stringify(command), signal: abort.signal })
        .finally(function () { clearTimeout(timer); });
  }
  // 5xx, 401 and no answer at all leave the command waiting; any other
  // answer is final: accepted, a duplicate of one accepted, or refused.
  async function flush() {
    if (sending) return;
    sending = true;
    try {
      for (;;) {
        var queue = loadQueue();
        if (queue.length === 0) break;
        var command = queue[0];
        var response;
        try {
          response = await post(command);
        } catch (e) {
          setLink(false, 'offline: ' + queue.length + ' waiting');
          break;
        }
        var body = await response.json().catch(function () { return {}; });
        if (response.status >= 500 || response.status === 401) {
          setLink(false, body.error || ('HTTP ' + response.status));
          break;
        }
        var rest = loadQueue();
        if (rest.length > 0 && rest[0].id === command.id) rest.shift();
        saveQueue(rest);
        setState('last-result', response.ok ? 'accepted' : (body.error || ('HTTP ' + response.status)));
        setLink(true, 'online');
        refresh();
      }
    } finally {
      sending = false;
    }
  }
  setInterval(function () { if (loadQueue().length > 0) flush(); }, RETRY_MS);

  // --- live state ---------------------------------------------------------------------
  function percent(ratio) { return ratio === null || ratio === undefined ? '–' : Math.round(ratio * 100) + ' %'; }
  function codeName(list, code) {
    var found = (list || []).find(function (c) { return c.code === code; });
    return found ? code + ' ' + found.name : code;
  }
  function showTile(machineState) {
    tile = machineState;
    setState('machine', tile.machine);
    setState('machine-name', tile.name || '');
    setState('status', tile.status);
    el('[data-state-box="status"]').className = 'status ' + tile.status;
    setState('since', shortTime(tile.since));
    setState('operator', tile.operator || '–');
    setState('job', tile.job || '–');
    setState('part', tile.part || '–');
    setState('operation', tile.operation || '–');
    setState('good', String(tile.good));
    setState('scrap', String(tile.scrap));
    setState('oee', percent(tile.oee));
    var open = (tile.events || []).find(function (e) {
      return (e.type === TYPE.downtime || e.type === TYPE.userDowntime) && !e.stop;
    });
    var text = '';
    if (open) {
      var machineDown = open.type === TYPE.downtime;
      var list = choices && (machineDown ? choices.machine_downtime_codes : choices.user_downtime_codes);
      text = (machineDown ? 'Machine down' : 'Operator away') + ' since ' + shortTime(open.start) +
          (open.param ? ': ' + codeName(list, open.param) : '');
    }
    setState('downtime', text);
  }
  async function readJson(path) {
    var response = await fetch(path, { headers: headers() });
    var body = await response.json();
    if (!response.ok) throw new Error(body.error || ('HTTP ' + response.status));
    return body;
  }
  async function refresh() {
    try {
      if (!choices) choices = await readJson('/api/v1/choices');
      showTile(await readJson('/api/v1/machines/' + encodeURIComponent(machine)));
      if (loadQueue().length === 0) setLink(true, 'online');
    } catch (e) {
      setLink(false, String(e.message || e));
    }
  }

  // --- choices, entry and confirmation ------------------------------------------------
  var panel = el('#panel');
  var entry = el('[data-entry]');
  var pending = null;  // the action the panel is for
  function button(attribute, value, label, detail) {
    var b = document.createElement('button');
    b.setAttribute(attribute, value);
    b.textContent = label;
    if (detail) {
      var small = document.createElement('small');
      small.textContent = detail;
      b.appendChild(small);
    }
    return b;
  }
  function heading(text) {
    var h = document.createElement('h3');
    h.textContent = text;
    return h;
  }
  function openPanel(title, items, options) {
    pending = options;
    el('#panel-title').textContent = title;
    var list = el('#choices');
    list.replaceChildren.apply(list, items);
    el('#entry').hidden = !options.entry;
    entry.value = '';
    entry.inputMode = options.numeric ? 'numeric' : 'text';
    entry.placeholder = options.placeholder || '';
    el('[data-action="confirm"]').hidden = !options.confirm;
    el('#hint').textContent = options.hint || '';
    panel.hidden = false;
    if (options.entry) entry.focus();
  }
  function closePanel() { panel.hidden = true; pending = null; }
  function finish(param) {
    var action = pending;
    closePanel();
    enqueue(action.type, action.timeCode, param);
  }
  function codeGroups(list) {
    var items = [];
    [['Unplanned', false], ['Planned', true]].forEach(function (group) {
      var codes = (list || []).filter(function (c) { return c.planned === group[1]; });
      if (codes.length === 0) return;
      items.push(heading(group[0]));
      codes.forEach(function (c) { items.push(button('data-code', c.code, c.code, c.name)); });
    });
    return items;
  }
  function partItems() {
    var job = choices && choices.jobs.find(function (j) { return j.job === tile.job; });
    var first = job ? job.parts : [];
    var items = [];
    if (first.length > 0) items.push(heading('Parts of job ' + job.job));
    first.forEach(function (p) { items.push(button('data-part', p, p)); });
    var others = ((choices && choices.parts) || []).filter(function (p) { return first.indexOf(p) < 0; });
    if (others.length > 0) items.push(heading(first.length > 0 ? 'Other parts' : 'Parts'));
    others.forEach(function (p) { items.push(button('data-part', p, p)); });
    return items;
  }
  function quantity(text) { return /^[1-9][0-9]{0,5}$/.test(text.trim()) ? text.trim() : null; }

  var actions = {
    'logon': function () {
      openPanel('Who logs on?', ((choices && choices.operators) || []).map(function (u) {
        return button('data-user', u.user, u.user, u.name);
      }), { type: TYPE.logon, timeCode: START, entry: true, placeholder: 'or scan the badge' });
    },
    'logoff': function () {
      openPanel('Log off' + (tile.operator ? ' ' + tile.operator : '') + '?', [],
                { type: TYPE.logon, timeCode: END, confirm: true });
    },
    'job-start': function () {
      openPanel('Which job?', ((choices && choices.jobs) || []).map(function (j) {
        return button('data-job', j.job, j.job, j.name);
      }), { type: TYPE.job, timeCode: START, entry: true, placeholder: 'or type the job number' });
    },
    'job-end': function () {
      openPanel('End job' + (tile.job ? ' ' + tile.job : '') + '?', [],
                { type: TYPE.job, timeCode: END, confirm: true });
    },
    'part-start': function () {
      openPanel('Which part?', partItems(),
                { type: TYPE.part, timeCode: START, entry: true, placeholder: 'or type the part number' });
    },
    'op-start': function () {
      openPanel('Which operation?', ((choices && choices.operations) || []).map(function (o) {
        return button('data-op', o, o);
      }), { type: TYPE.op, timeCode: START, entry: true, placeholder: 'or type the operation' });
    },
    'downtime-start': function () {
      openPanel('Why is the machine down?', codeGroups(choices && choices.machine_downtime_codes),
                { type: TYPE.downtime, timeCode: START });
    },
    'user-downtime-start': function () {
      openPanel('Why are you away?', codeGroups(choices && choices.user_downtime_codes),
                { type: TYPE.userDowntime, timeCode: START });
    },
    'good': function () {
      openPanel('How many good parts?', [], { type: TYPE.good, timeCode: BOTH, entry: true,
                                             numeric: true, count: true, placeholder: 'quantity' });
    },
    'scrap': function () {
      openPanel('Scrap: quantity and reason', ((choices && choices.scrap_codes) || []).map(
          function (c) { return button('data-code', c.code, c.code, c.name); }),
                { type: TYPE.scrap, timeCode: BOTH, entry: true, numeric: true, scrap: true,
                  placeholder: 'quantity', hint: 'Type the quantity and pick the reason, in either order' });
    },
  };
  var immediate = {
    'part-end': [TYPE.part, END], 'op-end': [TYPE.op, END],
    'setup-start': [TYPE.setup, START], 'setup-end': [TYPE.setup, END],
    'teardown-start': [TYPE.teardown, START], 'teardown-end': [TYPE.teardown, END],
    'downtime-end': [TYPE.downtime, END], 'user-downtime-end': [TYPE.userDowntime, END],
  };

  function sendScrap() {
    var qty = quantity(entry.value);
    if (!qty) { el('#hint').textContent = 'Type the quantity of scrapped parts'; entry.focus(); return; }
    if (!pending.code) { el('#hint').textContent = 'Pick the reason'; return; }
    finish(qty + '.' + pending.code);
  }
  function choose(target) {
    var value = target.dataset.user || target.dataset.job || target.dataset.part ||
                target.dataset.op || target.dataset.code;
    if (pending.scrap) {
      pending.code = value;
      document.querySelectorAll('#choices [data-code]').forEach(function (b) {
        b.classList.toggle('chosen', b === target);
      });
      if (quantity(entry.value)) sendScrap(); else el('#hint').textContent = 'Type the quantity';
      return;
    }
    finish(value);
  }
  function submitEntry() {
    if (pending.scrap) { sendScrap(); return; }
    var value = entry.value.trim();
    if (pending.count) value = quantity(value);
    if (!value) { el('#hint').textContent = pending.count ? 'Type a number of parts' : 'Type a value'; return; }
    finish(value);
  }

  document.addEventListener('click', function (event) {
    var target = event.target.closest('button');
    if (!target) return;
    var name = target.dataset.action;
    if (!panel.hidden && pending) {
      if (name === 'cancel') { closePanel(); return; }
      if (name === 'confirm') { finish(''); return; }
      if (name === 'submit-entry') { submitEntry(); return; }
      if (target.closest('#choices')) { choose(target); return; }
    }
    if (actions[name]) { actions[name](); return; }
    if (immediate[name]) enqueue(immediate[name][0], immediate[name][1], '');
  });
  entry.addEventListener('keydown', function (event) {
    if (event.key === 'Enter' && pending) submitEntry();  // scanners end with Enter
  });

  setState('machine', machine);
  saveQueue(loadQueue());
  refresh();
  setInterval(refresh, refreshMs);
  setInterval(function () { choices = null; }, 10 * 60 * 1000);
  flush();
})();
)js";

}  // namespace web
