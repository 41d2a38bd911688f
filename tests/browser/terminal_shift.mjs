// Drives the operator terminal in Debian's headless chromium through
// puppeteer-core. Run by tests/terminal_browser_test.cpp, which starts the
// server and checks the database afterwards:
//
//   node terminal_shift.mjs shift|offline|shots BASE_URL TOKEN MACHINE [SHOTS_DIR]
//
// "shift" clicks through an operator's shift (a cycle is posted through the
// API meanwhile); "offline" makes three actions while the server's intake
// does not answer, reloads, lets the page send them and prints their ids
// and times as one JSON line; "shots" only takes the screenshots (SHOTS_DIR)
// and checks the page shows the machine's state. Exit code 0 when the page did what it should.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [mode, base, token, machine, shotsDir] = process.argv.slice(2);
if (!['shift', 'offline', 'shots'].includes(mode) || !base || !token || !machine) {
  console.error('usage: node terminal_shift.mjs shift|offline|shots BASE_URL TOKEN MACHINE [SHOTS_DIR]');
  process.exit(2);
}

const profile = mkdtempSync(join(tmpdir(), 'terminal-chromium-'));
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  userDataDir: profile,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});

function fail(text) { throw new Error(text); }

async function stateOf(page, name) {
  return page.$eval(`[data-state="${name}"]`, (e) => e.textContent);
}

// Waits until the queue is empty and the last answer was "accepted".
async function accepted(page, what) {
  try {
    await page.waitForFunction(() =>
      document.querySelector('[data-state="queued"]').textContent === '0' &&
      document.querySelector('[data-state="last-result"]').textContent === 'accepted',
    { timeout: 10000 });
  } catch (e) {
    fail(`${what}: not accepted, last result "${await stateOf(page, 'last-result')}", ` +
         `queued ${await stateOf(page, 'queued')}`);
  }
  await page.$eval('[data-state="last-result"]', (e) => { e.textContent = ''; });
}

async function act(page, what, ...selectors) {
  for (const selector of selectors) {
    await page.waitForSelector(selector, { visible: true, timeout: 5000 });
    await page.click(selector);
  }
  await accepted(page, what);
}

async function type(page, text) {
  await page.waitForSelector('[data-entry]', { visible: true, timeout: 5000 });
  await page.type('[data-entry]', text);
}

async function openTerminal(page, withToken) {
  await page.goto(`${base}/terminal/${machine}${withToken ? `?token=${token}` : ''}`);
  await page.waitForFunction(() => document.querySelector('[data-state="status"]').textContent !== '…',
                             { timeout: 10000 });
}

async function screenshot(page, name, width, height) {
  if (!shotsDir) return;
  await page.setViewport({ width, height });
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.screenshot({ path: join(shotsDir, name) });
}

async function shift(page) {
  await page.setViewport({ width: 1280, height: 800 });
  await openTerminal(page, true);
  if (page.url().includes('token=')) fail(`the token stays in the address: ${page.url()}`);
  await openTerminal(page, false);  // kept by the page, not needed in the address again
  await act(page, 'logon', '[data-action="logon"]', '[data-user="jsmith"]');
  await act(page, 'job-start', '[data-action="job-start"]', '[data-job="J1001"]');
  await act(page, 'part-start', '[data-action="part-start"]', '[data-part="SHAFT-100"]');
  await act(page, 'setup-start', '[data-action="setup-start"]');
  await act(page, 'setup-end', '[data-action="setup-end"]');
  for (const timeCode of [0, 1]) {
    const answer = await fetch(`${base}/api/v1/commands`, {
      method: 'POST', headers: { Authorization: `Bearer ${token}` },
      body: JSON.stringify({ machine, type: 9, time_code: timeCode }),
    });
    if (answer.status !== 201) fail(`the cycle was answered ${answer.status}`);
  }
  await act(page, 'downtime-start', '[data-action="downtime-start"]', '[data-code="110"]');
  await act(page, 'downtime-end', '[data-action="downtime-end"]');
  // Scrap: the reason first, then the quantity.
  await page.click('[data-action="scrap"]');
  await page.click('[data-code="S2"]');
  await type(page, '2');
  await act(page, 'scrap', '[data-action="submit-entry"]');
  await page.click('[data-action="good"]');
  await type(page, '5');
  await act(page, 'good', '[data-action="submit-entry"]');
  await page.click('[data-action="logoff"]');
  if (await page.$eval('#panel', (e) => e.hidden)) fail('logoff did not ask first');
  if ((await stateOf(page, 'queued')) !== '0') fail('logoff was queued before it was confirmed');
  await screenshot(page, 'terminal-1280x800-confirm.png', 1280, 800);
  await act(page, 'logoff', '[data-action="confirm"]');
}

async function shots(page) {
  await openTerminal(page, true);
  if ((await stateOf(page, 'operator')) === '…') fail('the operator is not shown');
  await screenshot(page, 'terminal-1280x800.png', 1280, 800);
  await screenshot(page, 'terminal-390x844.png', 390, 844);
  await page.click('[data-action="downtime-start"]');
  await screenshot(page, 'terminal-390x844-downtime-codes.png', 390, 844);
  await screenshot(page, 'terminal-1280x800-downtime-codes.png', 1280, 800);
  await page.click('[data-action="cancel"]');
  await page.setViewport({ width: 390, height: 844 });
  await page.click('[data-action="scrap"]');
  await page.click('[data-code="S2"]');
  await screenshot(page, 'terminal-390x844-scrap.png', 390, 844);
  await page.click('[data-action="cancel"]');
  await screenshot(page, 'terminal-1280x800.png', 1280, 800);
}

async function offline(page) {
  let intakeAnswers = false;
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    if (!intakeAnswers && request.method() === 'POST' && request.url().endsWith('/api/v1/commands')) {
      request.abort('connectionrefused');
    } else {
      request.continue();
    }
  });
  await openTerminal(page, true);
  await page.click('[data-action="setup-start"]');
  await page.click('[data-action="setup-end"]');
  await page.click('[data-action="good"]');
  await type(page, '3');
  await page.click('[data-action="submit-entry"]');
  await page.waitForFunction(() => document.querySelector('[data-state="queued"]').textContent === '3',
                             { timeout: 5000 });
  const queued = await page.evaluate((key) => JSON.parse(localStorage.getItem(key)),
                                     `voltrane.terminal.queue.${machine}`);
  await page.reload();
  await page.waitForFunction(() => document.querySelector('[data-state="queued"]').textContent === '3',
                             { timeout: 5000 });
  await screenshot(page, 'terminal-390x844-offline.png', 390, 844);
  intakeAnswers = true;  // the page must notice by itself
  await page.waitForFunction(() => document.querySelector('[data-state="queued"]').textContent === '0',
                             { timeout: 15000 });
  console.log(JSON.stringify(queued));
}

let status = 0;
try {
  const page = await browser.newPage();
  if (mode === 'shift') {
    await shift(page);
  } else if (mode === 'shots') {
    await shots(page);
  } else {
    await offline(page);
  }
} catch (error) {
  console.error(String(error.stack || error));
  status = 1;
} finally {
  await browser.close();
  rmSync(profile, { recursive: true, force: true });
}
process.exit(status);
