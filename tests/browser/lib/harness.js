'use strict';
// What the browser tests share: the program and box that run.sh started, a headless Debian
// chromium that loads nothing outside 127.0.0.1, the program's texts, and plain HTTP requests
// that bypass the browser.
const fs = require('node:fs');
const http = require('node:http');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

// Generous: the worker starts some seconds after the window and then passes every 200 ms.
const WAIT_MS = 30000;

function fromRunner(name) {
  const value = process.env[name];
  if (!value) throw new Error(name + ' is not set; start the tests with tests/browser/run.sh');
  return value;
}

const url = new URL(fromRunner('ZELVO_URL'));
const target = {
  url: url.href,
  port: Number(url.port),
  token: url.searchParams.get('token'),
  programDir: fromRunner('ZELVO_PROGRAM_DIR'),
  box: {
    address: fromRunner('ZELVO_BOX_ADDRESS'),
    type: fromRunner('ZELVO_BOX_TYPE'),
    serial: fromRunner('ZELVO_BOX_SERIAL'),
    mode: fromRunner('ZELVO_BOX_MODE'),
  },
};

function programFile(name) { return path.join(target.programDir, name); }

// One key of the program's settings file (the [HMI] section is the only one).
function setting(key) {
  const match = fs.readFileSync(programFile('SoftLang.ini'), 'utf8').match(new RegExp('^' + key + '=(.*)$', 'm'));
  return match ? match[1].trim() : '';
}

// The texts of a string file as the pages read them: the first "=" splits, a "#" starts a
// comment, the first definition wins, and "replaceBox" is the brand's product word.
function texts(lang = 'en') {
  const word = setting('rep') || 'box';
  const table = {};
  const source = fs.readFileSync(programFile(`html/i18n/strings_${lang}.properties`), 'utf8');
  for (let line of source.split('\n')) {
    line = line.replace(/\r$/, '').replace(/#.*/, '');
    const eq = line.indexOf('=');
    if (eq <= 0) continue;
    const key = line.slice(0, eq);
    if (!(key in table)) table[key] = line.slice(eq + 1).split('replaceBox').join(word);
  }
  return table;
}

// A fresh profile each time; requests to any host but 127.0.0.1 are aborted and kept in
// `blocked`, so that a test can say that none were made.
async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zelvo-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
  const blocked = [];
  await context.route('**/*', (route) => {
    const request = route.request();
    if (new URL(request.url()).hostname === '127.0.0.1') return route.continue();
    blocked.push(request.url());
    return route.abort('blockedbyclient');
  });
  context.setDefaultTimeout(WAIT_MS);
  const page = context.pages()[0] || await context.newPage();
  return {
    context, page, blocked,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A request straight to the host, path sent as written (no normalising of "..").
function request(urlPath, { method = 'GET', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request({
      host: '127.0.0.1', port: target.port, path: urlPath, method,
      headers: { Host: `127.0.0.1:${target.port}`, ...headers },
    }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, headers: res.headers,
        body: Buffer.concat(chunks).toString('utf8') }));
    });
    req.on('error', reject);
    req.end(body);
  });
}

// Opens the shell and its settings form. While the program still sets up the virtual port at
// start, the settings button answers with a note instead: it is closed and the button tried
// again, so that afterwards the set-up (which writes the settings file) is over.
async function openSettingsForm(page) {
  const T = texts('en');
  await page.goto(target.url);
  await page.waitForSelector('#btn-config .label');
  for (const start = Date.now(); Date.now() - start < WAIT_MS;) {
    await page.click('#btn-config');
    const shown = await page.waitForSelector('#modal-form, #message-box');
    if (await shown.getAttribute('id') === 'modal-form') return;
    const note = (await page.textContent('#message-box .body')).trim();
    if (note !== T.init_virtual_port) throw new Error('settings button: ' + note);
    await page.click(`#message-box button:text-is("${T.btn_ok}")`);
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error('the settings form did not open');
}

// Steps that build on each other: it() cases run in order, and after a failed one the rest are
// skipped. One chain per describe block.
function stepChain(it) {
  let broken = false;
  return (name, fn) => it(name, async (t) => {
    if (broken) return t.skip('an earlier step failed');
    try {
      await fn();
    } catch (e) {
      broken = true;
      throw e;
    }
  });
}

// Opens the shell and shows the box tools page, returning the frame once the page this click
// asked for has loaded. The program may already be on that page from an earlier test and then
// loads it again, so the wait is for a document newer than the one shown before the click.
async function openToolsPage(page) {
  await page.goto(target.url);
  await page.waitForSelector('#btn-setup .label');
  const frame = await (await page.waitForSelector('iframe#content')).contentFrame();
  await frame.waitForURL(/\/html\/\w+\.html$/);
  await frame.evaluate(() => { window.shownBeforeClick = true; });
  await page.click('#btn-setup');
  await frame.waitForFunction(() => !window.shownBeforeClick && document.readyState === 'complete'
    && /\/html\/first_page\.html$/.test(location.pathname));
  return frame;
}

module.exports = {
  WAIT_MS, stepChain, target, programFile, setting, texts, launchBrowser, request, openSettingsForm,
  openToolsPage,
};
