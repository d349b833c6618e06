'use strict';
// What /app.js gives the box tools page: the native call and the page variables, read from the
// program directory when the page loads.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { test } = require('node:test');
const { programFile, launchBrowser, openSettingsForm, openToolsPage } = require('./lib/harness');

// Version text and serial port of this run, so that what the page shows can only come from
// the files as they are now.
function prepareProgramFiles() {
  const log = programFile('ReleaseLog.log');
  fs.writeFileSync(log, fs.readFileSync(log, 'utf8').replace(/Help_Ch="[^"]*"/, 'Help_Ch="Manager V7.8.9-browser"'));
  const ini = programFile('SoftLang.ini');
  fs.writeFileSync(ini, fs.readFileSync(ini, 'utf8').replace(/^VirCom=.*$/m, 'VirCom=COM7'));
}

test('the box tools page has the native call and the page variables', async () => {
  const browser = await launchBrowser();
  try {
    // The program's set-up of the virtual port writes the settings file: let it finish first.
    await openSettingsForm(browser.page);
    await browser.page.keyboard.press('Escape');
    await browser.page.waitForSelector('#modal-layer', { state: 'hidden' });
    prepareProgramFiles();
    const frame = await openToolsPage(browser.page);
    await frame.waitForFunction(() => typeof window.myobject === 'object');

    const seen = await frame.evaluate(() => {
      const threw = (fn) => { try { fn(); return ''; } catch (e) { return e.message; } };
      const numberError = threw(() => { myobject.myval = 3; });
      myobject.myval = 'x';
      return {
        invokeType: typeof app.jsInvokeCPlusPlus,
        version: app.jsInvokeCPlusPlus('29', ''),
        numberError,
        myval: myobject.myval,
        CurVirCom, CurSoftVer, CurrentAppLang, nOem, nAppMode,
      };
    });
    assert.deepEqual(seen, {
      invokeType: 'function',
      version: 'V7.8.9-browser',
      numberError: 'Invalid value type',
      myval: 'x',
      CurVirCom: 'COM7: Virtual Serial Port',
      CurSoftVer: '7.8.9',
      CurrentAppLang: 'en',
      nOem: 1,
      nAppMode: 1,
    });
    assert.deepEqual(browser.blocked, []);
  } finally {
    await browser.close();
  }
});

test('pop-ups go to the browser of the bro setting, the address as one argument', async () => {
  const browser = await launchBrowser();
  try {
    const frame = await openToolsPage(browser.page);
    const address = 'http://127.0.0.1:9/popup?a=1&b=two words;touch /tmp/x';
    const link = 'http://127.0.0.1:9/link';
    const opened = await frame.evaluate(([a, l]) => {
      const w = window.open(a);
      const anchor = Object.assign(document.createElement('a'), { href: l, target: '_blank' });
      document.body.appendChild(anchor);
      anchor.click();
      return w;
    }, [address, link]);
    assert.equal(opened, null);
    // Each address is one argument, one line; the two programs may finish in either order.
    const log = process.env.ZELVO_POPUP_LOG;
    const written = () => (fs.existsSync(log) ? fs.readFileSync(log, 'utf8').split('\n').filter(Boolean).sort() : []);
    for (let i = 0; i < 100 && written().length < 2; i++) {
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    assert.deepEqual(written(), [new URL(address).href, link].sort());
    assert.equal(browser.context.pages().length, 1);
    assert.deepEqual(browser.blocked, []);
  } finally {
    await browser.close();
  }
});
