// Page texts: loads the string file of the program's language and puts its texts into the page.
//
// String file format: key=value lines; a line starting with "#" is a comment and everything from
// a "#" on is dropped; the first "=" splits key and value, neither is trimmed; the first
// definition of a key wins; "replaceBox" stands for the product word of the current brand.
// Elements name their texts with data-i18n (text content), data-i18n-placeholder,
// data-i18n-title and data-i18n-aria (aria-label). A key without a text shows the key itself.
(function () {
  'use strict';

  var table = Object.create(null);

  function productWord() {
    return (typeof nRep === 'string' && nRep !== '') ? nRep : 'box';
  }

  function language() {
    var lang = (typeof CurrentAppLang === 'string') ? CurrentAppLang : '';
    return /^[A-Za-z_-]+$/.test(lang) ? lang : 'en';
  }

  function parse(text, word) {
    var result = Object.create(null);
    text.split('\n').forEach(function (line) {
      if (line.charAt(line.length - 1) === '\r') line = line.slice(0, -1);
      if (line === '' || line.charAt(0) === '#') return;
      var hash = line.indexOf('#');
      if (hash >= 0) line = line.slice(0, hash);
      var eq = line.indexOf('=');
      if (eq < 0) return;
      var key = line.slice(0, eq);
      if (key in result) return;
      result[key] = line.slice(eq + 1).split('replaceBox').join(word);
    });
    return result;
  }

  function fetchStrings(lang) {
    return fetch('/html/i18n/strings_' + lang + '.properties', { cache: 'no-store' })
      .then(function (response) {
        if (!response.ok) throw new Error('strings ' + response.status);
        return response.text();
      });
  }

  // Resolves once the texts are loaded (English when the language's file is missing).
  function load() {
    var lang = language();
    var loading = fetchStrings(lang).catch(function () {
      return lang === 'en' ? '' : fetchStrings('en').catch(function () { return ''; });
    });
    return loading.then(function (text) {
      table = parse(text, productWord());
      document.documentElement.lang = lang === 'zh' ? 'zh-CN' : lang;
    });
  }

  function has(key) { return key in table; }

  function t(key) { return has(key) ? table[key] : key; }

  function apply(root) {
    var scope = root || document;
    var binds = [['data-i18n', null], ['data-i18n-placeholder', 'placeholder'],
                 ['data-i18n-title', 'title'], ['data-i18n-aria', 'aria-label']];
    binds.forEach(function (bind) {
      scope.querySelectorAll('[' + bind[0] + ']').forEach(function (el) {
        var text = t(el.getAttribute(bind[0]));
        if (bind[1] === null) el.textContent = text; else el.setAttribute(bind[1], text);
      });
    });
  }

  // Shows a string file text in el and keeps it bound, so a later apply() renews it.
  function setKey(el, key) {
    el.setAttribute('data-i18n', key);
    el.textContent = t(key);
  }

  // Shows text that does not come from the string files (box replies, addresses).
  function setPlain(el, text) {
    el.removeAttribute('data-i18n');
    el.textContent = text;
  }

  window.ZelvoText = { load: load, parse: parse, has: has, t: t, apply: apply,
                       setKey: setKey, setPlain: setPlain };
})();
