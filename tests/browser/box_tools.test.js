'use strict';
// The main window in the browser, clicked through like a user would: the shell and its caption
// buttons, the box tools page against the simulated box, its pass-through and panel download
// panels, and the shell's modal boxes.
// The steps build on each other; after a failed one the rest are skipped.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const { WAIT_MS, stepChain, target, programFile, setting, texts, launchBrowser } = require('./lib/harness');

const T = texts('en');
const DASHES = '-'.repeat(46);
const box = target.box;

// A stand-in remote server on loopback: answers every chunk with "pong:" and the chunk.
// stop() closes it with its connections.
function startRemote() {
  const sockets = new Set();
  const server = net.createServer((socket) => {
    sockets.add(socket);
    socket.on('close', () => sockets.delete(socket));
    socket.on('data', (d) => socket.write('pong:' + d));
  });
  const stop = () => {
    server.close();
    sockets.forEach((socket) => socket.destroy());
  };
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve({ port: server.address().port, stop })));
}

// A port that nothing listens on just now.
async function freePort() {
  const server = await new Promise((resolve) => {
    const s = net.createServer();
    s.listen(0, '127.0.0.1', () => resolve(s));
  });
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

// Connects to the port on 127.0.0.1; null when refused.
function connect(port) {
  return new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1');
    socket.once('connect', () => resolve(socket));
    socket.once('error', () => resolve(null));
  });
}

// Polls until the condition holds.
async function until(condition, failure) {
  for (const start = Date.now(); Date.now() - start < WAIT_MS;) {
    if (await condition()) return;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error(failure);
}

// Polls until the port is (listening) or is not (listening); a connection made on the way is
// closed at once.
async function untilListening(port, listening) {
  let kept = null;
  await until(async () => {
    const socket = await connect(port);
    if (!!socket === listening) kept = socket;
    else if (socket) socket.destroy();
    return !!socket === listening;
  }, `port ${port} ${listening ? 'never listened' : 'kept listening'}`);
  return kept;
}

// Sends text over the socket, waits for the reply and closes the socket.
function exchange(socket, text) {
  return new Promise((resolve, reject) => {
    let reply = '';
    socket.on('data', (d) => {
      reply += d;
      if (reply.length >= text.length + 5) socket.end();
    });
    socket.on('close', () => resolve(reply));
    socket.on('error', reject);
    socket.write(text);
  });
}

describe('box tools in the browser', () => {
  let browser;
  let page;
  let frame;   // the shell's content frame

  const step = stepChain(it);

  const lines = () => frame.$$eval('#messages > *', (els) => els.map((e) => e.textContent));
  const text = (selector) => frame.textContent(selector).then((s) => s.trim());

  // Clicks selector and waits until the page shows expected as the next lines, exactly.
  async function expectLines(selector, expected) {
    const nBefore = (await lines()).length;
    if (selector) await frame.click(selector);
    await frame.waitForFunction(([n, k]) => document.querySelectorAll('#messages > *').length >= n + k,
      [nBefore, expected.length]);
    assert.deepEqual((await lines()).slice(nBefore, nBefore + expected.length), expected);
  }

  before(async () => {
    browser = await launchBrowser();
    page = browser.page;
  });
  after(async () => {
    if (browser) await browser.close();
  });

  step('the shell shows the title and the localized caption buttons', async () => {
    await page.goto(target.url);
    await page.waitForFunction(() => document.getElementById('title-text').textContent !== '');
    assert.equal(await page.textContent('#title-text'), setting('name'));
    assert.equal(await page.title(), setting('name'));
    const captions = await page.$$eval('#caption-buttons button',
      (bs) => bs.map((b) => [b.id, b.querySelector('.label').textContent]));
    assert.deepEqual(captions, [['btn-monitor', T.button_monitor], ['btn-setup', T.button_setup],
      ['btn-config', T.button_config], ['btn-about', T.button_about]]);
    for (const id of ['#btn-minimize', '#btn-maximize', '#btn-close']) await page.waitForSelector(id);
    frame = await (await page.waitForSelector('iframe#content')).contentFrame();
    await frame.waitForURL(/\/html\/home\.html$/);
    await page.waitForSelector('#btn-monitor.current');
  });

  step('the Tools button shows the box tools page', async () => {
    await page.click('#btn-setup');
    await frame.waitForURL(/\/html\/first_page\.html$/);
    await page.waitForSelector('#btn-setup.current');
    await frame.waitForFunction((label) => document.querySelector('label[for="box-address"]').textContent === label,
      T.lan_address);
  });

  step('the box is found on the local network and identified', async () => {
    await frame.check('#link-lan');
    await frame.click('#btn-discover');
    await frame.waitForSelector(`#box-address-select option[value="${box.address}"]`, { state: 'attached' });
    await frame.selectOption('#box-address-select', box.address);
    assert.equal(await frame.inputValue('#box-address'), box.address);
    await frame.click('#btn-select-address');
    await frame.waitForFunction((serial) => document.getElementById('detected-serial').textContent === serial,
      box.serial);
    assert.equal(await text('#detected-type'), box.type);
    assert.equal(await text('#detected-mode'), T['mode_' + box.mode]);
    assert.equal((await lines()).at(-1), box.serial);
  });

  step('light and network test write their lines', async () => {
    await expectLines('#btn-light', [DASHES, T.light_cmd_suc]);
    const stars = '*'.repeat(29);
    await expectLines('#btn-network-test', [DASHES, T.detecting_network, stars,
      T.ethernet_ip_address, '192.168.1.20', T.ethernet_mac_address, '00:11:22:33:44:55',
      T.connect_server_time, '12.50 ms / 13.00 ms / 14.10 ms', stars]);
  });

  step('the machine code is offered for copying', async () => {
    await browser.context.grantPermissions(['clipboard-read', 'clipboard-write'],
      { origin: new URL(target.url).origin });
    await expectLines('#btn-machine-code', [DASHES, T.get_maccode_success, box.serial]);
    await page.waitForSelector('#clipboard-box');
    assert.equal(await page.inputValue('#clipboard-text'), box.serial);
    assert.deepEqual(await page.$$eval('#clipboard-box .buttons button', (bs) => bs.map((b) => b.textContent)),
      [T.btn_copy, T.btn_close_dialog]);
    await page.click(`#clipboard-box button:text-is("${T.btn_copy}")`);
    await page.waitForSelector('#clipboard-box', { state: 'detached' });
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), box.serial);
  });

  step('About shows name, version and build', async () => {
    const version = await frame.evaluate(() => app.jsInvokeCPlusPlus('29', ''));
    assert.equal(version, 'V' + await frame.evaluate(() => CurSoftVer));
    await page.click('#btn-about');
    await page.waitForSelector('#about-box');
    const body = await page.$$eval('#about-box .body > div', (ds) => ds.map((d) => d.textContent));
    assert.equal(body[0], setting('name'));
    assert.equal(body[1], version);
    assert.match(body[2], /^Build:\S/);
    await page.click(`#about-box button:text-is("${T.btn_ok}")`);
    await page.waitForSelector('#modal-layer', { state: 'hidden' });
  });

  step('a configuration written to the box comes back into the form', async () => {
    await frame.waitForSelector('#cfg-Ethernet-Ip');
    await frame.uncheck('#cfg-Ethernet-Dhcp');
    await frame.fill('#cfg-Ethernet-Ip', '10.1.2.3');
    await expectLines('#btn-write-config', [T.stopping_zelvo, T.download_config_file, T.download_success,
      T.reboot_zelvo]);
    assert.match(fs.readFileSync(programFile('setup.xml'), 'utf8'), /<Ethernet Dhcp="0" Ip="10\.1\.2\.3"/);
    // Only the box has it now: what the form shows next came back from the box.
    fs.rmSync(programFile('setup.xml'));
    await frame.check('#cfg-Ethernet-Dhcp');
    await expectLines('#btn-read-config', [DASHES, T.upload_config_file, T.upload_config_success]);
    await frame.waitForFunction(() => document.getElementById('cfg-Ethernet-Ip').value === '10.1.2.3');
    assert.equal(await frame.isChecked('#cfg-Ethernet-Dhcp'), false);
    assert.equal(await text('#config-note'), T.cfg_loaded);
  });

  step('the cloud project dialogs browse the home folder with their filter and extension', async () => {
    const home = process.env.ZELVO_HOME_DIR;
    fs.mkdirSync(path.join(home, 'projects'));
    fs.writeFileSync(path.join(home, 'old.zcpj'), 'x');
    fs.writeFileSync(path.join(home, 'notes.txt'), 'x');
    // Open: only an existing file will do; Cancel leaves everything as it was.
    const nBefore = (await lines()).length;
    await frame.click('#btn-project-down');
    await page.waitForSelector('#file-dialog #file-list .file');
    assert.deepEqual(await page.$$eval('#file-list > div', (ds) => ds.map((d) => d.textContent)),
      ['old.zcpj', 'projects']);
    await page.fill('#file-name', 'missing');
    await page.click('#file-ok');
    await page.waitForFunction((note) => document.getElementById('file-note').textContent === note,
      T.file_not_found);
    await page.click(`#file-dialog button:text-is("${T.cancel}")`);
    await page.waitForSelector('#file-dialog', { state: 'detached' });
    // Save: into a folder chosen in the list, the name without extension gets ".zcpj".
    await frame.click('#btn-project-up');
    await page.waitForSelector('#file-dialog #file-list .dir');
    await page.click('#file-list .dir');
    await page.waitForFunction(() => document.getElementById('file-dir').textContent.endsWith('/projects'));
    await page.fill('#file-name', 'backup');
    await page.click('#file-ok');
    await page.waitForSelector('#file-dialog', { state: 'detached' });
    await frame.waitForFunction(([n, done]) => [...document.querySelectorAll('#messages > *')]
      .slice(n).some((e) => e.textContent === done), [nBefore, T.upload_config_success]);
    assert.ok(fs.statSync(path.join(home, 'projects', 'backup.zcpj')).size > 0);
  });

  step('the firmware question answered No leaves the box as it is', async () => {
    await expectLines('#btn-firmware', [T.stopping_zelvo, T.detect_fireware]);
    await page.waitForSelector('#message-box');
    assert.equal(await page.textContent('#message-box h2'), T.alert_title);
    const question = await page.textContent('#message-box .body');
    assert.ok(question.includes(` ${T.detect_new_firmware} `), question);
    assert.ok(question.endsWith('\n' + T.is_update_firmware), question);
    assert.deepEqual(await page.$$eval('#message-box .buttons button', (bs) => bs.map((b) => b.textContent)),
      [T.btn_yes, T.btn_no]);
    const nBefore = (await lines()).length;
    await page.click(`#message-box button:text-is("${T.btn_no}")`);
    await page.waitForSelector('#message-box', { state: 'detached' });
    await frame.waitForFunction((n) => document.querySelectorAll('#messages > *').length >= n + 2, nBefore);
    assert.deepEqual((await lines()).slice(nBefore, nBefore + 2), [T.reboot_zelvo, T.detect_zelvo_failed]);
  });

  step('a relay pass-through carries bytes to the remote server until it is stopped', async () => {
    const remote = await startRemote();
    const remoteUrl = `127.0.0.1:${remote.port}`;
    const ePort = await freePort();
    await frame.selectOption('#pt-mode', '1');
    assert.equal(await frame.isVisible('#pt-baudrate'), false);
    await frame.fill('#pt-url', 'no-port-here');
    await frame.click('#btn-pt-start');
    assert.equal(await text('#pt-note'), T.passthrough_url_invalid);
    await frame.fill('#pt-url', remoteUrl);
    await frame.fill('#pt-e-port', String(ePort));
    try {
      await expectLines('#btn-pt-start', [`${T.passthrough_started_relay} ${remoteUrl}`]);
      assert.equal(await text('#pt-note'), '');
      const local = await untilListening(ePort, true);
      assert.equal(await exchange(local, 'ping'), 'pong:ping');
      await expectLines('#btn-pt-stop', [T.passthrough_stopped]);
      await untilListening(ePort, false);
    } finally {
      remote.stop();
    }
  });

  step('the panel download panel finds the editor and starts its download tool', async () => {
    await expectLines('#btn-hmi-installed', [T.hmi_not_installed]);
    await expectLines('#btn-hmi-version', [T.hmi_no_version]);
    const editor = path.join(process.env.ZELVO_HOME_DIR, 'editor') + '/';
    fs.mkdirSync(path.join(editor, 'simulation', 'ieg'), { recursive: true });
    fs.writeFileSync(path.join(editor, 'simulation', 'ieg', 'QuillonSim.exe'), 'MZ');
    fs.writeFileSync(path.join(editor, 'QuillonDl.exe'), 'MZ');
    fs.writeFileSync(path.join(editor, 'ReleaseLog.log'), '<HMISet><Hmi Help_Ch="V9.8.7"/></HMISet>');
    fs.writeFileSync(programFile('hmi.xml'), '<?xml version="1.0" encoding="UTF-8" ?>\n'
      + `<HMISet filever="1.0"><Hmi Folder="${editor}" Version="V9.8.7"/></HMISet>`);
    await expectLines('#btn-hmi-installed', [T.hmi_installed]);
    await expectLines('#btn-hmi-version', [`${T.hmi_version_is} V9.8.7`]);
    await frame.fill('#pt-e-port', '8502');
    await expectLines('#btn-hmi-launch', [`${T.hmi_launch_ok} 127.0.0.1:8502`]);
    const log = process.env.ZELVO_WINE_LOG;
    await until(() => fs.existsSync(log) && fs.readFileSync(log, 'utf8').includes('LoadMode2'),
      'the download tool was not started');
    assert.deepEqual(fs.readFileSync(log, 'utf8').trim().split('\n'),
      [editor + 'QuillonDl.exe', 'LoadMode2 127 0 0 1 0 8502']);
  });

  step('Home shows the home page again', async () => {
    await page.click('#btn-monitor');
    await frame.waitForURL(/\/html\/home\.html$/);
    await page.waitForSelector('#btn-monitor.current');
  });

  step('nothing outside 127.0.0.1 was requested', async () => {
    assert.deepEqual(browser.blocked, []);
  });
});
