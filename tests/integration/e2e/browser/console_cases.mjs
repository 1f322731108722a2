// Drives the web console in Debian's headless Chromium through
// puppeteer-core, one case per run:
//   node console_cases.mjs CASE --url URL --chromium PATH --modules DIR
//        --shots DIR --sim PATH --socket PATH --serial SERIAL --other SERIAL
// Prints "ok CASE" and exits 0, or prints what failed and exits 1. Every
// case leaves a screenshot SHOTS/CASE.png.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, mkdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [name, ...rest] = process.argv.slice(2);
const options = {};
for (let i = 0; i < rest.length; i += 2) options[rest[i].replace(/^--/, '')] = rest[i + 1];
const require = createRequire(join(options.modules, 'noop.js'));
const puppeteer = require('puppeteer-core');

const timeout = 20000;
const fail = (text) => { throw new Error(text); };
const sim = (...words) => execFileSync(options.sim, ['--socket', options.socket, ...words], { encoding: 'utf8' });

// Logical 4095 x 4095 onto the grid, as the page does it.
const cellOf = (x, y, columns, rows) => [Math.floor((x / 4095) * columns), Math.floor((y / 4095) * rows)];

async function openConsole(page) {
  const response = await page.goto(options.url, { waitUntil: 'load' });
  if (response.status() !== 200) fail(`console answered ${response.status()}`);
  await page.waitForSelector('#link-state[data-state="open"]', { timeout });
  await page.waitForSelector(`#controller-list li[data-serial="${options.serial}"]`, { timeout });
}

async function selectController(page, serial) {
  await page.click(`#controller-list li[data-serial="${serial}"] button`);
  await page.waitForSelector('.heatmap[data-frames]', { timeout });
}

const cases = {
  // The console loads with its token and is refused without it.
  async token(page, errors) {
    await openConsole(page);
    const origin = new URL(options.url).origin;
    const token = new URL(options.url).pathname.split('/')[1];
    for (const path of ['/', '/index.html', `/${'0'.repeat(token.length)}/`, `/${token}x/`]) {
      const response = await fetch(origin + path);
      const text = await response.text();
      if (response.status !== 403 || !text.includes('token')) fail(`${path} answered ${response.status}: ${text}`);
    }
    // The page's own WebSocket works; one to the address without the
    // token is refused before it opens.
    const refused = await page.evaluate((url) => new Promise((resolve) => {
      const socket = new WebSocket(url);
      socket.onopen = () => resolve(false);
      socket.onerror = () => resolve(true);
    }), `ws://${new URL(options.url).host}/ws`);
    if (!refused) fail('a WebSocket without the token was accepted');
    errors.length = 0;  // the browser reports that refusal as an error
  },

  // Both controllers are listed, and the list follows an unplug.
  async controllers(page) {
    await openConsole(page);
    await page.waitForSelector(`#controller-list li[data-serial="${options.other}"]`, { timeout });
    await selectController(page, options.other);
    sim('unplug', options.other);
    await page.waitForFunction((serial) => !document.querySelector(`#controller-list li[data-serial="${serial}"]`),
      { timeout }, options.other);
    await page.waitForSelector('#unplugged', { timeout });
    const left = await page.$$eval('#controller-list li', (items) => items.map((li) => li.dataset.serial));
    if (left.length !== 1 || left[0] !== options.serial) fail(`listed after unplug: ${left}`);
  },

  // A finger on the simulator shows on the heat-map at its place, with its identifier.
  async touch(page) {
    await openConsole(page);
    await selectController(page, options.serial);
    const [x, y] = [2000, 1000];
    sim('touch', options.serial, '200', String(x), String(y));
    const [cx, cy] = cellOf(x, y, 168, 96);
    const item = await page.waitForSelector(`#touch-list li[data-cell-x="${cx}"][data-cell-y="${cy}"]`, { timeout });
    const identifier = await item.evaluate((li) => li.dataset.identifier);
    if (!/^101\d{3}$/.test(identifier)) fail(`finger identifier ${identifier}`);
    // The frame glows where the finger lies and the marker is drawn there.
    await page.waitForFunction(([cx, cy]) => {
      const cells = document.querySelector('.heatmap canvas.cells').getContext('2d').getImageData(0, 0, 168, 96).data;
      const brightness = (x, y) => cells[(y * 168 + x) * 4] + cells[(y * 168 + x) * 4 + 1] + cells[(y * 168 + x) * 4 + 2];
      let near = 0;
      for (let dy = -2; dy <= 2; ++dy) for (let dx = -2; dx <= 2; ++dx) near = Math.max(near, brightness(cx + dx, cy + dy));
      const far = brightness((cx + 84) % 168, (cy + 48) % 96);
      return near > far + 200;
    }, { timeout }, [cx, cy]);
    const marked = await page.evaluate(([cx, cy]) => {
      const overlay = document.querySelector('.heatmap canvas.overlay');
      const scale = overlay.width / 168;
      const context = overlay.getContext('2d');
      const centre = context.getImageData(Math.round((cx + 0.5) * scale), Math.round((cy + 0.5) * scale), 1, 1).data;
      return centre[3] > 0;
    }, [cx, cy]);
    if (!marked) fail('no marker drawn at the finger');
    await page.waitForFunction((id) => document.querySelector('#touch-list').textContent.includes(id), { timeout }, identifier);
  },

  // th written from the form reaches the controller; a refused write shows the controller's error.
  async write(page) {
    await openConsole(page);
    await selectController(page, options.serial);
    await page.click('main > nav.tabs button[data-tab="Settings"]');
    const input = 'tr[data-entity="th"] td.value input';
    await page.waitForSelector(input, { timeout });
    const write = async (value) => {
      await page.$eval(input, (field, value) => {
        field.value = value;
        field.dispatchEvent(new Event('change'));
      }, value);
      await page.waitForFunction(() => {
        const status = document.querySelector('tr[data-entity="th"] td.field-status').textContent;
        return status && status !== 'writing…';
      }, { timeout });
      return page.$eval('tr[data-entity="th"] td.field-status', (cell) => cell.textContent);
    };
    const saved = await write('55');
    if (saved !== 'saved') fail(`writing 55 answered "${saved}"`);
    const refused = await write('99999');
    if (!/error/.test(refused)) fail(`writing 99999 answered "${refused}"`);
    const shown = await page.$eval(input, (field) => field.value);
    if (shown !== '55') fail(`after the refusal the field shows ${shown}`);
  },

  // The tuning wizard step by step, the installer doing what its prompts say.
  async tuning(page) {
    await openConsole(page);
    await selectController(page, options.serial);
    await page.click('main > nav.tabs button[data-tab="Tuning"]');
    await page.waitForSelector('button[data-action="startTest"]:not([disabled])', { timeout });
    await page.click('button[data-action="startTest"]');
    const state = () => page.evaluate(() => {
      const tuning = document.querySelector('.tuning');
      return { test: tuning.dataset.test, status: tuning.dataset.status, prompt: document.querySelector('#tuning-prompt').textContent };
    });
    const seen = new Set();
    let finger = false;
    for (const deadline = Date.now() + 60000; Date.now() < deadline;) {
      const { test, status, prompt } = await state();
      seen.add(test);
      if (test === 'Hardware' && status === 'Error') {
        if (!/co-sensor is not connected/.test(prompt)) fail(`Hardware error prompt: ${prompt}`);
        sim('set', options.serial, 'cosensor', '0');
        await page.click('button[data-action="reTest"]');
        await page.waitForFunction(() => document.querySelector('.tuning').dataset.status !== 'Error', { timeout });
      } else if (test === 'Touch' && /^Touch the foil/.test(prompt) && !finger) {
        sim('touch', options.serial, '1', '2000', '2000');
        finger = true;
      } else if (test === 'Touch' && /^Lift your finger/.test(prompt) && finger) {
        sim('lift', options.serial, '1');
        finger = false;
      } else if (test === 'Calibration') {
        await page.click('button[data-action="nextTest"]');
      } else if (test === 'End') {
        if (status !== 'Pass' || !/finished/.test(prompt)) fail(`ended ${status}: ${prompt}`);
        break;
      } else if (test === 'Fail' || status === 'Error') {
        fail(`${test} ${status}: ${prompt}`);
      }
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    for (const test of ['Hardware', 'ColsRows', 'Touch', 'Calibration', 'End'])
      if (!seen.has(test)) fail(`never saw ${test}: ${[...seen]}`);
  },

  // The grid test marks the column the simulator broke.
  async gridtest(page) {
    sim('damage', options.serial, 'col', '60');
    await openConsole(page);
    await selectController(page, options.serial);
    await page.click('#run-grid-test');
    await page.waitForFunction(() => {
      const heatmap = document.querySelector('.heatmap');
      return heatmap.dataset.brokenCols !== undefined;
    }, { timeout });
    const cols = await page.$eval('.heatmap', (element) => element.dataset.brokenCols.split(' ').filter(Boolean).map(Number));
    if (!cols.includes(60)) fail(`marked columns: ${cols}`);
    await page.waitForFunction(() => document.querySelector('#line-list').textContent.includes('60'), { timeout });
  },
};

async function main() {
  if (!cases[name]) fail(`no case ${name}`);
  const profile = mkdtempSync(join(tmpdir(), 'corvane-chromium-'));
  mkdirSync(options.shots, { recursive: true });
  const browser = await puppeteer.launch({
    executablePath: options.chromium,
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--window-size=1400,900'],
  });
  const errors = [];
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 900 });
    page.on('pageerror', (error) => errors.push(String(error)));
    page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
    try {
      await cases[name](page, errors);
      if (errors.length) fail(`errors in the page: ${errors.join('; ')}`);
    } finally {
      await page.screenshot({ path: join(options.shots, `${name}.png`) }).catch(() => {});
    }
  } finally {
    await browser.close();
    rmSync(profile, { recursive: true, force: true });
  }
}

main().then(() => {
  console.log(`ok ${name}`);
  process.exit(0);
}, (error) => {
  console.log(`FAILED ${name}: ${error.message}`);
  process.exit(1);
});
