// The shell: the program's main window in the browser. Caption buttons and frame buttons send
// their commands to the program; the program's events (scripts for the page, page changes,
// dialogs, status text) arrive in order over one event stream.
(function () {
  'use strict';
  var texts = {};
  var frame = document.getElementById('content');
  var dialogs = [];        // open questions and notes, first one shown
  var shownDialogs = {};   // ids already queued

  function text(key) { return texts[key] || key; }
  function post(path, body) {
    return fetch(path, { method: 'POST', headers: { 'Content-Type': 'application/json' },
                         body: JSON.stringify(body) });
  }
  function element(tag, props, children) {
    var e = document.createElement(tag);
    Object.keys(props || {}).forEach(function (k) {
      if (k === 'text') e.textContent = props[k]; else if (k === 'onclick') e.onclick = props[k];
      else e.setAttribute(k, props[k]);
    });
    (children || []).forEach(function (c) { if (c) e.appendChild(c); });
    return e;
  }

  // ---- caption, frame buttons, status bar ----
  function setUpButtons() {
    document.querySelectorAll('.caption-button').forEach(function (b) {
      var image = element('span', { class: 'image' });
      image.style.backgroundImage = 'url("/Skins/Default/' + b.dataset.image + '")';
      b.appendChild(image);
      b.appendChild(element('span', { class: 'label', text: text(b.dataset.key) }));
      b.title = text(b.dataset.key);
      b.onclick = function () { post('/api/shell', { action: 'command', command: Number(b.dataset.command) }); };
    });
    document.querySelectorAll('.frame-button').forEach(function (b) {
      b.style.backgroundImage = 'url("/Skins/Default/dialog/' + b.dataset.image + '")';
      b.title = text(b.dataset.key);
    });
    document.getElementById('btn-minimize').onclick = function () {
      document.getElementById('frame').classList.toggle('rolled-up');
    };
    document.getElementById('btn-maximize').onclick = function () {
      if (document.fullscreenElement) document.exitFullscreen();
      else document.documentElement.requestFullscreen().catch(function () {});
    };
    document.addEventListener('fullscreenchange', function () {
      document.getElementById('btn-maximize').title =
        text(document.fullscreenElement ? 'restore' : 'maximize');
    });
    document.getElementById('btn-close').onclick = function () { post('/api/shell', { action: 'close' }); };
  }
  function showStatus(value) { document.getElementById('status-text').textContent = value; }
  function markCurrentPage(url) {
    document.getElementById('btn-monitor').classList.toggle('current', url.indexOf('first_page') < 0);
    document.getElementById('btn-setup').classList.toggle('current', url.indexOf('first_page') >= 0);
  }

  // ---- the content frame ----
  function framePath() {
    try { return frame.contentWindow.location.pathname; } catch (e) { return ''; }
  }
  function navigate(url, reload) {
    markCurrentPage(url);
    if (reload && framePath() === url) frame.contentWindow.location.reload();
    else frame.src = url || 'about:blank';
  }
  function runScript(page, script) {
    var doc = frame.contentDocument;
    if (framePath() !== page || !doc || doc.readyState === 'loading') return;  // not there: dropped
    try { frame.contentWindow.eval(script); } catch (e) { console.error(e); }
  }
  document.addEventListener('keydown', function (e) {
    if (e.key === 'F5') {
      e.preventDefault();
      if (framePath()) frame.contentWindow.location.reload();
    }
  });

  // ---- dialogs ----
  function queueDialog(d) {
    if (d.id !== undefined) {
      if (shownDialogs[d.id]) return;
      shownDialogs[d.id] = true;
    }
    dialogs.push(d);
    if (dialogs.length === 1) showDialog();
  }
  function finishDialog(d, answer) {
    if (d.id !== undefined) post('/api/dialog', { id: d.id, accepted: answer.accepted, path: answer.path || '' });
    dropDialog(d);
  }
  function dropDialog(d) {
    var i = dialogs.indexOf(d);
    if (i < 0) return;
    dialogs.splice(i, 1);
    if (i === 0) showDialog();
  }
  function showDialog() {
    var layer = document.getElementById('modal-layer');
    layer.textContent = '';
    layer.hidden = dialogs.length === 0;
    if (dialogs.length === 0) return;
    var d = dialogs[0];
    var build = { message: messageBox, file: fileDialog, clipboard: clipboardBox, about: aboutBox }[d.kind];
    layer.appendChild(build(d));
    var first = layer.querySelector('.primary, input, button');
    if (first) first.focus();
  }
  function button(key, onclick, primary) {
    return element('button', { text: text(key), class: primary ? 'primary' : '', onclick: onclick });
  }
  function modal(id, title, body, buttons) {
    return element('div', { class: 'modal', id: id, role: 'dialog' }, [
      element('h2', { text: title }), body, element('div', { class: 'buttons' }, buttons)]);
  }
  function messageBox(d) {
    var answer = function (accepted) { return function () { finishDialog(d, { accepted: accepted }); }; };
    var buttons = d.yesNo ? [button('btn_yes', answer(true), true), button('btn_no', answer(false))]
                          : [button('btn_ok', answer(true), true)];
    return modal('message-box', d.caption, element('div', { class: 'body', text: d.text }), buttons);
  }
  function clipboardBox(d) {
    var value = element('input', { type: 'text', readonly: 'readonly', id: 'clipboard-text' });
    value.value = d.text;
    var copy = function () {
      value.select();
      var done = navigator.clipboard ? navigator.clipboard.writeText(d.text) : Promise.reject();
      done.catch(function () { document.execCommand('copy'); }).finally(function () { dropDialog(d); });
    };
    return modal('clipboard-box', text('machine_code_title'), element('div', { class: 'body' }, [value]),
                 [button('btn_copy', copy, true), button('btn_close_dialog', function () { dropDialog(d); })]);
  }
  function aboutBox(d) {
    var body = element('div', { class: 'body' }, [
      element('div', { class: 'about-name', text: d.name }),
      element('div', { text: d.version }),
      element('div', { text: d.build }),
      d.reduced ? null : element('div', { text: d.company })]);
    var buttons = [button('btn_ok', function () { dropDialog(d); }, true)];
    if (!d.reduced) {
      buttons.unshift(button('btn_check_update', function () { post('/api/shell', { action: 'update' }); }));
    }
    return modal('about-box', text('about_title'), body, buttons);
  }

  // The file dialog: a folder view of the local file system, a name and the type filter
  // ("Name(*.ext)|*.ext||" pairs), with the default extension and the overwrite question.
  function parseFilter(filter) {
    var parts = (filter || '').split('|').filter(function (p) { return p !== ''; });
    var types = [];
    for (var i = 0; i + 1 < parts.length; i += 2) types.push({ label: parts[i], patterns: parts[i + 1].split(';') });
    return types.length ? types : [{ label: '*.*', patterns: ['*.*'] }];
  }
  function matches(name, patterns) {
    return patterns.some(function (p) {
      if (p === '*.*' || p === '*') return true;
      return p.indexOf('*.') === 0 && name.toLowerCase().endsWith(p.slice(1).toLowerCase());
    });
  }
  function fileDialog(d) {
    var types = parseFilter(d.filter);
    var current = { dir: d.dir, entries: [] };
    var pathLabel = element('code', { id: 'file-dir' });
    var list = element('div', { class: 'file-list', id: 'file-list' });
    var name = element('input', { type: 'text', id: 'file-name' });
    name.value = d.initialName || '';
    var type = element('select', { id: 'file-type' });
    types.forEach(function (t, i) { type.appendChild(element('option', { value: i, text: t.label })); });
    var note = element('div', { id: 'file-note' });
    function load(dir) {
      fetch('/api/files?dir=' + encodeURIComponent(dir)).then(function (r) { return r.ok ? r.json() : null; })
        .then(function (listing) { if (listing) { current = listing; fill(); } });
    }
    function fill() {
      pathLabel.textContent = current.dir;
      list.textContent = '';
      var patterns = types[Number(type.value) || 0].patterns;
      current.entries.forEach(function (e) {
        if (!e.dir && !matches(e.name, patterns)) return;
        var row = element('div', { class: e.dir ? 'dir' : 'file', text: e.name });
        row.onclick = function () { if (e.dir) load(current.dir + '/' + e.name); else name.value = e.name; };
        if (!e.dir) row.ondblclick = accept;
        list.appendChild(row);
      });
    }
    function chosenPath() {
      var value = name.value.trim();
      if (value === '') return '';
      var base = value.split('/').pop();
      if (d.defaultExt && base.indexOf('.') < 0) value += d.defaultExt;
      return value.charAt(0) === '/' ? value : current.dir.replace(/\/$/, '') + '/' + value;
    }
    function exists(path) {
      var base = path.split('/').pop();
      return current.entries.some(function (e) { return !e.dir && e.name === base; }) &&
             path.slice(0, path.length - base.length - 1) === current.dir.replace(/\/$/, '');
    }
    function accept() {
      var path = chosenPath();
      if (!path) return;
      if (d.open && d.mustExist && !exists(path)) { note.textContent = text('file_not_found'); return; }
      if (!d.open && d.overwritePrompt && exists(path) && !window.confirm(text('file_overwrite'))) return;
      finishDialog(d, { accepted: true, path: path });
    }
    type.onchange = fill;
    name.onkeydown = function (e) { if (e.key === 'Enter') accept(); };
    load(d.dir || '');
    var up = button('file_up', function () { load(current.parent || '/'); });
    up.id = 'file-up';
    var body = element('div', { class: 'body' }, [
      element('div', { class: 'file-path' }, [element('span', { text: text('file_folder') }), pathLabel, up]),
      list,
      element('div', { class: 'file-row' }, [
        element('label', { text: text('file_name'), for: 'file-name' }), name,
        element('label', { text: text('file_type'), for: 'file-type' }), type]),
      note]);
    var ok = button(d.open ? 'btn_ok' : 'btn_ok', accept, true);
    ok.id = 'file-ok';
    return modal('file-dialog', text(d.open ? 'file_open_title' : 'file_save_title'), body,
                 [ok, button('cancel', function () { finishDialog(d, { accepted: false }); })]);
  }

  // ---- events from the program ----
  function onEvent(ev) {
    switch (ev.type) {
      case 'script': runScript(ev.page, ev.script); break;
      case 'navigate': navigate(ev.url, ev.reload); break;
      case 'status': showStatus(ev.text); break;
      case 'dialog': ev.dialog.id = ev.id; ev.dialog.kind = ev.kind; queueDialog(ev.dialog); break;
      case 'dialog-closed':
        dialogs.filter(function (d) { return d.id === ev.id; }).forEach(dropDialog); break;
      case 'clipboard': queueDialog({ kind: 'clipboard', text: ev.text }); break;
      case 'about': ev.kind = 'about'; queueDialog(ev); break;
      case 'close': closeWindow(); break;
    }
  }
  function closeWindow() {
    source.close();
    var note = document.getElementById('closed-note');
    note.textContent = document.title;
    note.hidden = false;
    window.close();
  }
  var source = null;
  fetch('/api/state').then(function (r) { return r.json(); }).then(function (state) {
    texts = state.texts || {};
    document.title = state.title;
    document.getElementById('title-text').textContent = state.title;
    if (state.titleIcon) {
      var icon = document.getElementById('title-icon');
      icon.src = state.titleIcon;
      icon.hidden = false;
    }
    setUpButtons();
    showStatus(state.status);
    if (state.page) navigate(state.page, false);
    (state.dialogs || []).forEach(onEvent);
    source = new EventSource('/api/events?after=' + state.last);
    source.onmessage = function (m) { onEvent(JSON.parse(m.data)); };
  });
})();
