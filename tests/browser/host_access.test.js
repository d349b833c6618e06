'use strict';
// The host's access rules seen from outside the pages: token, Host, Origin, and the folders it
// serves from. Plain HTTP requests, then the browser for the cookie.
const assert = require('node:assert/strict');
const fs = require('node:fs');
const { test } = require('node:test');
const { target, programFile, launchBrowser, request } = require('./lib/harness');

const withToken = (p) => `${p}${p.includes('?') ? '&' : '?'}token=${target.token}`;
const settingsText = fs.readFileSync(programFile('SoftLang.ini'), 'utf8');
const nativeCall = JSON.stringify({ name: 'jsInvokeCPlusPlus', args: [{ t: 's', v: '29' }, { t: 's', v: '' }] });

test('requests without the token, from another Host or another Origin are refused', async () => {
  const cookie = `zelvo_token_${target.port}=${target.token}`;
  const cases = [
    { name: 'token in the address', path: withToken('/html/shell.html'), status: 200 },
    { name: 'token in the cookie', path: '/html/shell.html', headers: { Cookie: cookie }, status: 200 },
    { name: 'own origin', path: withToken('/html/shell.html'),
      headers: { Origin: `http://127.0.0.1:${target.port}` }, status: 200 },
    { name: 'no token', path: '/html/shell.html', status: 403 },
    { name: 'no token, entry page', path: '/', status: 403 },
    { name: 'wrong token', path: '/html/shell.html?token=' + 'a'.repeat(target.token.length), status: 403 },
    { name: 'wrong cookie', path: '/html/shell.html', headers: { Cookie: `zelvo_token_${target.port}=x` }, status: 403 },
    { name: 'cookie of another port', path: '/html/shell.html',
      headers: { Cookie: `zelvo_token_${target.port + 1}=${target.token}` }, status: 403 },
    { name: 'Host localhost', path: withToken('/html/shell.html'),
      headers: { Host: `localhost:${target.port}` }, status: 403 },
    { name: 'Host with another port', path: withToken('/html/shell.html'),
      headers: { Host: `127.0.0.1:${target.port + 1}` }, status: 403 },
    { name: 'Host of another site', path: withToken('/html/shell.html'), headers: { Host: 'evil.example' }, status: 403 },
    { name: 'Origin of another site', path: withToken('/html/shell.html'),
      headers: { Origin: 'http://evil.example' }, status: 403 },
    { name: 'native call from another site', path: withToken('/api/invoke'), method: 'POST', body: nativeCall,
      headers: { Origin: 'http://evil.example', 'Content-Type': 'application/json' }, status: 403 },
    { name: 'native call without token', path: '/api/invoke', method: 'POST', body: nativeCall,
      headers: { 'Content-Type': 'application/json' }, status: 403 },
  ];
  for (const c of cases) {
    const res = await request(c.path, c);
    assert.equal(res.status, c.status, c.name);
    if (c.status === 403) assert.doesNotMatch(res.body, /<html|zelvo_token|__zelvoNative/i, c.name);
  }
});

test('only files under html/ and Skins/ are served', async () => {
  for (const p of ['/html/first_page.html', '/html/i18n/strings_en.properties', '/title.ico']) {
    assert.equal((await request(withToken(p))).status, 200, p);
  }
  const outside = [
    '/SoftLang.ini', '/html/../SoftLang.ini', '/html/%2e%2e/SoftLang.ini', '/html/%2E%2E%2FSoftLang.ini',
    '/Skins/..%2f..%2fSoftLang.ini', '/Skins/../SoftLang.ini', '/html/..%5cSoftLang.ini',
    '/html/./../SoftLang.ini', '/html//../SoftLang.ini', '/html/outside.ini', '/html/up/SoftLang.ini',
    '/%2e%2e/SoftLang.ini', '/html/%00/../SoftLang.ini', '/api/../SoftLang.ini',
  ];
  assert.ok(fs.lstatSync(programFile('html/outside.ini')).isSymbolicLink(), 'run.sh makes the link');
  for (const p of outside) {
    const res = await request(withToken(p));
    assert.ok(res.status === 404 || res.status === 403, `${p}: ${res.status}`);
    assert.ok(!res.body.includes('[HMI]') && !res.body.includes(settingsText), p);
  }
  const missing = await request(withToken('/html/%3Cscript%3Ealert(1)%3C/script%3E.html'));
  assert.equal(missing.status, 404);
  assert.doesNotMatch(missing.body, /<script/i, 'the missing page names the address escaped');
});

test('the entry address sets the token as an HttpOnly cookie that scripts cannot read', async () => {
  const entry = await request(withToken('/'));
  assert.equal(entry.status, 302);
  assert.match(String(entry.headers['set-cookie']), new RegExp(`zelvo_token_${target.port}=${target.token};.*HttpOnly`));

  const browser = await launchBrowser();
  try {
    await browser.page.goto(target.url);
    await browser.page.waitForSelector('#btn-setup .label');
    assert.equal(new URL(browser.page.url()).pathname, '/html/shell.html');
    assert.ok(!(await browser.page.evaluate(() => document.cookie)).includes(target.token));
    const cookies = await browser.context.cookies(target.url);
    const token = cookies.find((c) => c.name === `zelvo_token_${target.port}`);
    assert.ok(token && token.httpOnly && token.value === target.token);
    assert.equal(token.sameSite, 'Strict');
    assert.deepEqual(browser.blocked, []);
  } finally {
    await browser.close();
  }
});
