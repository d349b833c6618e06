// The shell: the program's main window in the browser. Caption buttons and frame buttons send
// their commands to the program; the program's events (scripts for the page, page changes,
// dialogs, status text) arrive in order over one event stream.
(function () {
  'use strict';
  var texts = {};
  var frame = document.getElementById('content');
  var dialogs = [];        // open questions, notes and forms, the last one shown
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
  // Questions, notes and forms stack up: the newest is shown on top, and when it goes the one
  // below comes back. A form published again under its number replaces the one shown.
  function topDialog() { return dialogs[dialogs.length - 1]; }
  function queueDialog(d) {
    if (d.id !== undefined) {
      var open = dialogs.filter(function (o) { return o.id === d.id; })[0];
      if (open) {
        if (d.kind === 'form') updateForm(open, d);
        return;
      }
      if (shownDialogs[d.id]) return;
      shownDialogs[d.id] = true;
    }
    dialogs.push(d);
    showDialog();
  }
  function finishDialog(d, answer) {
    if (d.id !== undefined) post('/api/dialog', { id: d.id, accepted: answer.accepted, path: answer.path || '' });
    dropDialog(d);
  }
  function dropDialog(d) {
    var i = dialogs.indexOf(d);
    if (i < 0) return;
    dialogs.splice(i, 1);
    if (i === dialogs.length) showDialog();
  }
  function showDialog() {
    var layer = document.getElementById('modal-layer');
    var focused = document.activeElement && layer.contains(document.activeElement) ? document.activeElement.id : '';
    layer.textContent = '';
    layer.hidden = dialogs.length === 0;
    if (dialogs.length === 0) return;
    var d = topDialog();
    var build = { message: messageBox, file: fileDialog, folder: folderDialog, form: formDialog,
                  clipboard: clipboardBox, about: aboutBox }[d.kind];
    layer.appendChild(build(d));
    var again = focused && document.getElementById(focused);
    var first = again && !again.disabled ? again : layer.querySelector('.primary, input, select, button:not(.form-close)');
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

  // ---- forms ----
  // A form is drawn from its description alone: groups frame the controls after them, every
  // control carries its id as "form-<id>". An action disables the form until the program has
  // handled it and published the form again.
  function updateForm(open, d) {
    open.title = d.title;
    open.controls = d.controls;
    open.pending = false;
    if (open === topDialog()) showDialog();
  }
  function formAction(d, control, value) {
    if (d.pending) return;
    d.pending = true;
    if (d === topDialog()) showDialog();
    post('/api/dialog', { id: d.id, control: control, value: value });
  }
  function formTable(d, c) {
    var head = element('tr', {}, c.columns.map(function (col) {
      var th = element('th', { text: col.heading });
      if (col.width > 0) th.style.width = col.width + 'px';
      return th;
    }));
    var rows = c.rows.map(function (cells, i) {
      var tr = element('tr', { class: i === c.selected ? 'selected' : '', 'aria-selected': String(i === c.selected) },
        cells.map(function (cell) { return element('td', { text: cell }); }));
      tr.onclick = function () { if (c.enabled) formAction(d, c.id, String(i)); };
      return tr;
    });
    var table = element('table', { class: 'form-table' + (c.enabled ? '' : ' disabled'), id: 'form-' + c.id },
      [element('thead', {}, [head]), element('tbody', {}, rows)]);
    return element('div', { class: 'form-table-wrap' }, [table]);
  }
  function formControl(d, c) {
    var id = 'form-' + c.id;
    var e;
    switch (c.kind) {
      case 'button':
        e = element('button', { type: 'button', id: id, text: c.caption, onclick: function () { formAction(d, c.id, ''); } });
        break;
      case 'list':
        e = element('select', { id: id }, c.items.map(function (item, i) { return element('option', { value: i, text: item }); }));
        e.selectedIndex = c.selected;
        e.onchange = function () { formAction(d, c.id, String(e.selectedIndex)); };
        break;
      case 'check':
        var box = element('input', { type: 'checkbox', id: id });
        box.checked = c.checked;
        box.disabled = !c.enabled;
        box.onchange = function () { formAction(d, c.id, box.checked ? '1' : '0'); };
        return element('label', { class: 'form-check' }, [box, element('span', { text: c.caption })]);
      case 'table':
        return formTable(d, c);
      default:
        return element('div', { class: 'form-text' + (c.enabled ? '' : ' disabled'), id: id, text: c.caption });
    }
    e.disabled = !c.enabled;
    return e;
  }
  function formDialog(d) {
    var body = element('div', { class: 'body form-body' });
    var holder = body;
    d.controls.forEach(function (c) {
      if (c.kind !== 'group') { holder.appendChild(formControl(d, c)); return; }
      holder = element('fieldset', { class: 'form-group', id: 'form-' + c.id }, [element('legend', { text: c.caption })]);
      holder.disabled = !c.enabled;
      body.appendChild(holder);
    });
    var close = element('button', { type: 'button', class: 'form-close', id: 'form-close', title: text('close'),
                                    'aria-label': text('close'), text: '\u00d7',
                                    onclick: function () { formAction(d, 'close', ''); } });
    var form = element('div', { class: 'modal form' + (d.pending ? ' pending' : ''), id: 'modal-form',
                                role: 'dialog', 'data-form': d.id },
      [element('h2', {}, [element('span', { text: d.title }), close]), body]);
    if (d.pending) form.querySelectorAll('button, input, select, fieldset').forEach(function (e) { e.disabled = true; });
    return form;
  }
  document.addEventListener('keydown', function (e) {
    var d = topDialog();
    if (e.key === 'Escape' && d && d.kind === 'form') {
      e.preventDefault();
      formAction(d, 'close', '');
    }
  });

  // ---- file and folder dialogs ----
  // A view of one folder of the local file system, through the host; rowFor(entry) makes the
  // row of an entry, or null to leave it out.
  function folderBrowser(startDir, rowFor) {
    var view = { current: { dir: startDir || '', entries: [] },
                 path: element('code', { id: 'file-dir' }),
                 list: element('div', { class: 'file-list', id: 'file-list' }) };
    view.load = function (dir) {
      fetch('/api/files?dir=' + encodeURIComponent(dir)).then(function (r) { return r.ok ? r.json() : null; })
        .then(function (listing) { if (listing) { view.current = listing; view.fill(); } });
    };
    view.fill = function () {
      view.path.textContent = view.current.dir;
      view.list.textContent = '';
      view.current.entries.forEach(function (e) {
        var row = rowFor(e);
        if (row) view.list.appendChild(row);
      });
    };
    view.enter = function (name) { view.load(view.current.dir + '/' + name); };
    var up = button('file_up', function () { view.load(view.current.parent || '/'); });
    up.id = 'file-up';
    view.header = element('div', { class: 'file-path' }, [element('span', { text: text('file_folder') }), view.path, up]);
    view.load(startDir || '');
    return view;
  }

  // The file dialog: a name and the type filter ("Name(*.ext)|*.ext||" pairs), with the default
  // extension and the overwrite question.
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
    var name = element('input', { type: 'text', id: 'file-name' });
    name.value = d.initialName || '';
    var type = element('select', { id: 'file-type' });
    types.forEach(function (t, i) { type.appendChild(element('option', { value: i, text: t.label })); });
    var note = element('div', { id: 'file-note' });
    var view = folderBrowser(d.dir, function (e) {
      if (!e.dir && !matches(e.name, types[Number(type.value) || 0].patterns)) return null;
      var row = element('div', { class: e.dir ? 'dir' : 'file', text: e.name });
      row.onclick = function () { if (e.dir) view.enter(e.name); else name.value = e.name; };
      if (!e.dir) row.ondblclick = accept;
      return row;
    });
    function chosenPath() {
      var value = name.value.trim();
      if (value === '') return '';
      var base = value.split('/').pop();
      if (d.defaultExt && base.indexOf('.') < 0) value += d.defaultExt;
      return value.charAt(0) === '/' ? value : view.current.dir.replace(/\/$/, '') + '/' + value;
    }
    function exists(path) {
      var base = path.split('/').pop();
      return view.current.entries.some(function (e) { return !e.dir && e.name === base; }) &&
             path.slice(0, path.length - base.length - 1) === view.current.dir.replace(/\/$/, '');
    }
    function accept() {
      var path = chosenPath();
      if (!path) return;
      if (d.open && d.mustExist && !exists(path)) { note.textContent = text('file_not_found'); return; }
      if (!d.open && d.overwritePrompt && exists(path) && !window.confirm(text('file_overwrite'))) return;
      finishDialog(d, { accepted: true, path: path });
    }
    type.onchange = view.fill;
    name.onkeydown = function (e) { if (e.key === 'Enter') accept(); };
    var body = element('div', { class: 'body' }, [
      view.header,
      view.list,
      element('div', { class: 'file-row' }, [
        element('label', { text: text('file_name'), for: 'file-name' }), name,
        element('label', { text: text('file_type'), for: 'file-type' }), type]),
      note]);
    var ok = button('btn_ok', accept, true);
    ok.id = 'file-ok';
    return modal('file-dialog', d.title || text(d.open ? 'file_open_title' : 'file_save_title'), body,
                 [ok, button('cancel', function () { finishDialog(d, { accepted: false }); })]);
  }
  // The folder picker: folders only; OK chooses the folder shown.
  function folderDialog(d) {
    var view = folderBrowser(d.dir, function (e) {
      return e.dir ? element('div', { class: 'dir', text: e.name, onclick: function () { view.enter(e.name); } }) : null;
    });
    var ok = button('btn_ok', function () { finishDialog(d, { accepted: true, path: view.current.dir }); }, true);
    ok.id = 'folder-ok';
    return modal('folder-dialog', d.title || text('folder_title'), element('div', { class: 'body' }, [view.header, view.list]),
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
