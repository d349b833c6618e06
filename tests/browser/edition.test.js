'use strict';
// A first start without the edition's certificate package (run.sh moves it into the home
// folder): the shell asks for one in its file dialog, the program installs it, starts itself
// again once under the new edition, and that start shows the branded window.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { describe, it } = require('node:test');
const { WAIT_MS, stepChain, target, programFile, setting, texts, launchBrowser } = require('./lib/harness');

const T = texts('en');

// The addresses the program announced so far, the restarted program's included.
function announcedUrls() {
  return fs.readFileSync(process.env.ZELVO_OUT_LOG, 'utf8').split('\n')
    .filter((line) => line.startsWith('ZELVO UI: ')).map((line) => line.slice('ZELVO UI: '.length));
}

async function waitFor(what, fn) {
  for (const start = Date.now(); Date.now() - start < WAIT_MS;) {
    const value = fn();
    if (value) return value;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  throw new Error('timed out waiting for ' + what);
}

describe('first start without a certificate package', () => {
  const step = stepChain(it);
  let browser;
  let page;

  step('the shell asks for the package', async () => {
    browser = await launchBrowser();
    page = browser.page;
    await page.goto(target.url);
    await page.waitForSelector('#file-dialog');
    assert.equal(await page.textContent('#file-dialog h2'), T.set_cert_file);
    assert.equal(fs.existsSync(programFile('VirCert.ce')), false);
  });

  step('choosing it installs it and the program starts again once', async () => {
    await page.dblclick('#file-dialog .file:text-is("demo_edition.ce")');
    const urls = await waitFor('the restarted program', () => {
      const seen = announcedUrls();
      return seen.length >= 2 && seen;
    });
    assert.equal(urls.length, 2);
    assert.equal(fs.existsSync(programFile('VirCert.ce')), true);
    assert.equal(fs.readlinkSync(programFile('ZelvoManager')).endsWith('/zelvo'), true);
    await page.goto(urls[1]);
  });

  step('the new start shows the edition without asking again', async () => {
    await page.waitForFunction(() => document.getElementById('title-text').textContent !== '');
    assert.equal(await page.textContent('#title-text'), 'ZelvoManager');
    assert.equal(setting('name'), 'ZelvoManager');
    assert.equal(setting('comp'), 'Zelvo Demo Industries');
    assert.equal(await page.$('#file-dialog'), null);
    const boxes = fs.readFileSync(programFile('BOXType.hmi'), 'utf8');
    assert.match(boxes, /Type="ZELVO-4G"[^>]*Display="ZELVO 4G"/);
    assert.equal(announcedUrls().length, 2);
    await browser.close();
  });
});
