'use strict';
// The virtual port settings page, a modal form of the shell, driven like a user would: the
// feature switched off and on, the port moved to another COM name, the check box stored, the
// panel download settings opened on top of it with an editor folder picked, and the form closed. The tunnel service is the real one from the program directory, with the run
// folder and ports folder of this test's world.
// The steps build on each other; after a failed one the rest are skipped.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { after, before, describe, it } = require('node:test');
const { WAIT_MS, stepChain, programFile, setting, texts, launchBrowser, openSettingsForm } = require('./lib/harness');

const T = texts('en');
const portsDir = process.env.ZELVO_PORTS_DIR;

// Whether the ports folder holds the link of the COM port ("COM5" -> "com5").
function linked(comName) {
  try {
    return fs.lstatSync(path.join(portsDir, comName.toLowerCase())).isSymbolicLink();
  } catch (e) {
    return false;
  }
}

async function until(condition, failure) {
  for (const start = Date.now(); Date.now() - start < WAIT_MS;) {
    if (await condition()) return;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error(failure());
}

describe('virtual port settings in the browser', () => {
  let browser;
  let page;
  let comName;  // the virtual port's COM name

  const step = stepChain(it);

  const text = (selector) => page.textContent(selector).then((s) => s.trim());
  const selectedCom = () => page.$eval('#form-lstCom', (s) => (s.selectedIndex < 0 ? '' : s.options[s.selectedIndex].text));

  // Waits until the form is shown again after an action; a message box on the way fails.
  async function settled() {
    const shown = await page.waitForSelector('#modal-form:not(.pending), #message-box');
    if (await shown.getAttribute('id') === 'message-box') {
      throw new Error('message box: ' + await text('#message-box .body'));
    }
  }
  async function act(selector) {
    await page.click(selector);
    await settled();
  }

  async function expectFeature(on) {
    assert.equal(await text('#form-txtVirtualStatus'), on ? T.detect_server_yes : T.detect_server_no);
    assert.equal(await text('#form-btnVirtualToggle'), on ? T.btn_uninstall_server : T.btn_install_server);
    // Switched on, the COM controls are usable (switching off leaves them as they were).
    if (on) assert.ok(await page.isEnabled('#form-lstCom') && await page.isEnabled('#form-btnComSet'));
  }

  before(async () => {
    browser = await launchBrowser();
    page = browser.page;
    comName = setting('VirCom') || 'COM2';
  });
  after(async () => {
    if (browser) await browser.close();
  });

  step('the settings button opens the settings form', async () => {
    await openSettingsForm(page);
    assert.equal(await text('#modal-form h2 span'), T.settings_title);
    assert.equal(await text('#form-grpVirtual legend'), T.virtual_config);
    assert.equal(await text('#form-btnComSet'), T.btn_set);
    assert.ok(await page.$('#form-grpVirtual #form-chkRemoveService'));
  });

  step('the feature switches off and on, and the port link goes and comes', async () => {
    if (await text('#form-txtVirtualStatus') === T.detect_server_yes) {
      await act('#form-btnVirtualToggle');
      await expectFeature(false);
      await until(() => !linked(comName), () => `${comName} is still linked`);
    }
    await act('#form-btnVirtualToggle');
    await expectFeature(true);
    await until(() => linked(comName), () => `${comName} was not linked`);
    assert.equal(await selectedCom(), comName + T.com_is_using);
  });

  step('another COM name, chosen and set, moves the port link', async () => {
    const chosen = comName === 'COM9' ? 'COM8' : 'COM9';
    await page.selectOption('#form-lstCom', { label: chosen });
    await settled();
    assert.equal(await selectedCom(), chosen);
    await act('#form-btnComSet');
    await until(() => linked(chosen) && !linked(comName), () => `the link did not move to ${chosen}`);
    assert.equal(await selectedCom(), chosen + T.com_is_using);
    comName = chosen;
  });

  step('the check box is stored in the settings file', async () => {
    assert.equal(await page.isChecked('#form-chkRemoveService'), setting('server') === '1');
    const wanted = setting('server') === '1' ? '0' : '1';
    await act('#form-chkRemoveService');
    assert.equal(setting('server'), wanted);
    assert.equal(await page.isChecked('#form-chkRemoveService'), wanted === '1');
  });

  step('the panel download settings open on top and take an editor folder from the picker', async () => {
    const editor = path.join(process.env.ZELVO_HOME_DIR, 'editor');
    fs.mkdirSync(path.join(editor, 'simulation', 'ieg'), { recursive: true });
    for (const file of ['Quillon.exe', 'QuillonDl.exe', 'simulation/ieg/QuillonSim.exe']) {
      fs.writeFileSync(path.join(editor, file), 'MZ');
    }
    fs.writeFileSync(path.join(editor, 'ReleaseLog.log'), '<HMISet><Hmi Help_Ch="V5.4.3"/></HMISet>');
    assert.equal(await text('#form-grpHmiDown legend'), T.hmi_down_disabled);
    await act('#form-btnHmiConfig');
    assert.equal(await text('#modal-form h2 span'), T.hmi_down_set);
    assert.equal(await page.isEnabled('#form-btnOk'), false);
    await page.click('#form-btnBrowse');
    await page.waitForSelector('#folder-dialog #file-list .dir');
    assert.equal(await text('#folder-dialog h2'), T.hmi_down_set);
    await page.click('#file-list .dir:text-is("editor")');
    await page.waitForFunction(() => document.getElementById('file-dir').textContent.endsWith('/editor'));
    await page.click('#folder-ok');
    await settled();
    assert.equal(await text('#form-txtVersion'), 'V5.4.3');
    assert.deepEqual(await page.$$eval('#form-tblEditors tbody tr.selected td', (tds) => tds.map((td) => td.textContent)),
      ['1', 'V5.4.3', editor + '/']);
    await act('#form-btnOk');
    assert.equal(await text('#modal-form h2 span'), T.settings_title);
    assert.equal(await text('#form-grpHmiDown legend'), T.hmi_down_enabled);
    assert.match(fs.readFileSync(programFile('hmi.xml'), 'utf8'), new RegExp(`Folder="${editor}/"`));
  });

  step('Escape closes the form; opened again it shows the port in use', async () => {
    await page.keyboard.press('Escape');
    await page.waitForSelector('#modal-layer', { state: 'hidden' });
    await openSettingsForm(page);
    await expectFeature(true);
    assert.equal(await selectedCom(), comName + T.com_is_using);
    await page.click('#form-close');
    await page.waitForSelector('#modal-layer', { state: 'hidden' });
    assert.ok(linked(comName));
  });

  step('nothing outside 127.0.0.1 was requested', async () => {
    assert.deepEqual(browser.blocked, []);
  });
});
