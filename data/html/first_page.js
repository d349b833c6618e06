// Box tools page: connection to the box, its identification, configuration form, cloud project,
// firmware, time, mode, light, network test, remembered Wi-Fi networks, the pass-through and
// the panel download.
//
// Every action is one app.jsInvokeCPlusPlus(command, argument) call with two strings. The panel
// editor's calls answer at once; other results come back later as calls of the page functions defined at the end of this file (AddText,
// DisableOperate, DetectBox, RefreshList, ShowUpLoadSetup, SaveSetting, ShowProgress).
'use strict';

var ZelvoPage = (function () {
  var SEP = '\u0002';
  var STORE_KEY = 'zelvo.first_page';
  var MAX_LINES = 5000;
  var WIFI_MAX_BYTES = 255;
  var UNKNOWN_TYPE = 'UNKNOWN';
  var IPV4 = /^(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)(\.(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)){3}$/;
  var TIME_ZONES = [
    'Dateline Standard Time', 'UTC-11', 'Hawaiian Standard Time', 'Alaskan Standard Time',
    'Pacific Standard Time', 'US Mountain Standard Time', 'Mountain Standard Time',
    'Central America Standard Time', 'Central Standard Time', 'Canada Central Standard Time',
    'Central Standard Time (Mexico)', 'SA Pacific Standard Time', 'Eastern Standard Time',
    'Venezuela Standard Time', 'Atlantic Standard Time', 'SA Western Standard Time',
    'Pacific SA Standard Time', 'Newfoundland Standard Time', 'E. South America Standard Time',
    'Argentina Standard Time', 'SA Eastern Standard Time', 'Greenland Standard Time', 'UTC-02',
    'Azores Standard Time', 'Cape Verde Standard Time', 'Coordinated Universal Time',
    'GMT Standard Time', 'Greenwich Standard Time', 'Morocco Standard Time',
    'W. Europe Standard Time', 'Central Europe Standard Time', 'Romance Standard Time',
    'Central European Standard Time', 'W. Central Africa Standard Time', 'GTB Standard Time',
    'E. Europe Standard Time', 'FLE Standard Time', 'Israel Standard Time',
    'Egypt Standard Time', 'South Africa Standard Time', 'Turkey Standard Time',
    'Arabic Standard Time', 'Arab Standard Time', 'Russian Standard Time',
    'E. Africa Standard Time', 'Iran Standard Time', 'Arabian Standard Time',
    'Azerbaijan Standard Time', 'Caucasus Standard Time', 'Afghanistan Standard Time',
    'Ekaterinburg Standard Time', 'Pakistan Standard Time', 'West Asia Standard Time',
    'India Standard Time', 'Sri Lanka Standard Time', 'Nepal Standard Time',
    'Central Asia Standard Time', 'Bangladesh Standard Time', 'Myanmar Standard Time',
    'SE Asia Standard Time', 'N. Central Asia Standard Time', 'China Standard Time',
    'North Asia Standard Time', 'Malay Peninsula Standard Time', 'W. Australia Standard Time',
    'Taipei Standard Time', 'Ulaanbaatar Standard Time', 'Tokyo Standard Time',
    'Korea Standard Time', 'Cen. Australia Standard Time', 'AUS Central Standard Time',
    'E. Australia Standard Time', 'AUS Eastern Standard Time', 'West Pacific Standard Time',
    'Tasmania Standard Time', 'Vladivostok Standard Time', 'Central Pacific Standard Time',
    'New Zealand Standard Time', 'UTC+12', 'Fiji Standard Time', 'Tonga Standard Time',
    'Samoa Standard Time', 'Line Islands Standard Time'
  ];

  var Text = window.ZelvoText;
  var state = { busy: false, expectSerial: false, progressTimer: 0, ready: null,
                restored: false };

  function $(id) { return document.getElementById(id); }

  function invoke(command, argument) {
    if (typeof app === 'undefined' || !app || typeof app.jsInvokeCPlusPlus !== 'function') return undefined;
    return app.jsInvokeCPlusPlus(String(command), argument === undefined ? '' : String(argument));
  }

  function pageValue(name, fallback) {
    var value = window[name];
    return value === undefined || value === null ? fallback : value;
  }

  function showNote(el, key, isError) {
    if (key) Text.setKey(el, key); else Text.setPlain(el, '');
    el.classList.toggle('error', !!isError);
  }

  // ----- operation controls --------------------------------------------------------------------

  // A control is off while the program works (busy) or while the form makes it meaningless
  // (for example the address fields while DHCP is on).
  function refreshEnabled() {
    document.querySelectorAll('.op').forEach(function (el) {
      el.disabled = state.busy || el.getAttribute('data-dep-off') === '1';
    });
  }

  function setBusy(busy) {
    state.busy = busy;
    document.body.classList.toggle('busy', busy);
    refreshEnabled();
  }

  // ----- messages and progress -----------------------------------------------------------------

  function appendLine(text) {
    var box = $('messages');
    var atBottom = box.scrollHeight - box.scrollTop - box.clientHeight < 24;
    var line = document.createElement('div');
    line.className = /^-{10,}$/.test(text) ? 'line separator' : 'line';
    line.textContent = text;
    box.appendChild(line);
    while (box.childElementCount > MAX_LINES) box.removeChild(box.firstElementChild);
    if (atBottom) box.scrollTop = box.scrollHeight;
  }

  function formatBytes(n) {
    if (n >= 1048576) return (n / 1048576).toFixed(1) + ' MB';
    if (n >= 1024) return (n / 1024).toFixed(1) + ' KB';
    return n + ' B';
  }

  function showProgress(done, total) {
    var bar = $('progress');
    var panel = $('progress-panel');
    clearTimeout(state.progressTimer);
    panel.hidden = false;
    if (total > 0) {
      bar.max = total;
      bar.value = Math.min(done, total);
      $('progress-text').textContent = Math.floor(100 * Math.min(done, total) / total) + ' %  ('
        + formatBytes(done) + ' / ' + formatBytes(total) + ')';
    } else {
      bar.removeAttribute('value');
      $('progress-text').textContent = formatBytes(done);
    }
    if (total > 0 && done >= total) {
      state.progressTimer = setTimeout(function () { panel.hidden = true; }, 2000);
    }
  }

  // ----- box identity --------------------------------------------------------------------------

  function setStatus(kind) {
    $('status-dot').className = 'status-dot ' + kind;
  }

  function showMode(mode) {
    var el = $('detected-mode');
    state.mode = mode;
    if (!(mode >= 0)) { Text.setKey(el, 'mode_unknown'); return; }
    if (Text.has('mode_' + mode)) Text.setKey(el, 'mode_' + mode);
    else Text.setPlain(el, String(mode));
    var select = $('mode-select');
    if (select.querySelector('option[value="' + mode + '"]')) select.value = String(mode);
  }

  function clearIdentity() {
    ['detected-type', 'detected-mode', 'detected-serial'].forEach(function (id) {
      Text.setPlain($(id), '\u2014');
    });
    state.mode = undefined;
    state.expectSerial = false;
    setStatus('');
  }

  function detectBox(typeText, mode) {
    var text = typeText === undefined || typeText === null ? '' : String(typeText);
    var known = text !== '' && text !== UNKNOWN_TYPE;
    if (known) Text.setPlain($('detected-type'), text);
    else Text.setKey($('detected-type'), 'box_unknown');
    showMode(Number(mode));
    Text.setPlain($('detected-serial'), '\u2014');
    // The program writes the serial number as the next line after a successful identification.
    state.expectSerial = known;
    setStatus(known ? 'ok' : 'warn');
  }

  function addText(line) {
    var text = line === undefined || line === null ? '' : String(line);
    if (state.expectSerial) {
      state.expectSerial = false;
      Text.setPlain($('detected-serial'), text);
    }
    appendLine(text);
  }

  // ----- connection ----------------------------------------------------------------------------

  function selectedLink() {
    return $('link-lan').checked ? 'LocalNetwork' : 'USB:Download';
  }

  function useLink(link) {
    $(link === 'LocalNetwork' ? 'link-lan' : 'link-usb').checked = true;
    document.body.classList.toggle('link-lan', link === 'LocalNetwork');
    clearIdentity();
    invoke(11, link);
  }

  function chooseAddress() {
    var address = $('box-address').value.trim();
    $('box-address').value = address;
    if (!IPV4.test(address)) {
      $('box-address').classList.add('invalid');
      showNote($('lan-note'), 'lan_invalid_address', true);
      $('box-address').focus();
      return false;
    }
    $('box-address').classList.remove('invalid');
    showNote($('lan-note'), null);
    if (selectedLink() !== 'LocalNetwork') useLink('LocalNetwork');
    else clearIdentity();
    invoke(12, address);
    return true;
  }

  function onLinkChange() {
    useLink(selectedLink());
    var address = $('box-address').value.trim();
    if (selectedLink() === 'LocalNetwork' && IPV4.test(address)) invoke(12, address);
  }

  function discover() {
    showNote($('lan-note'), 'lan_searching');
    invoke(10, $('probe-flag').checked ? '1' : '0');
  }

  function fillAddressList(addresses) {
    var select = $('box-address-select');
    select.textContent = '';
    addresses.forEach(function (address) {
      var option = document.createElement('option');
      option.value = address;
      option.textContent = address;
      select.appendChild(option);
    });
  }

  function refreshList(text) {
    var seen = Object.create(null);
    var addresses = String(text === undefined || text === null ? '' : text).split(';')
      .map(function (s) { return s.trim(); })
      .filter(function (s) { if (s === '' || seen[s]) return false; seen[s] = true; return true; });
    fillAddressList(addresses);
    if (addresses.length === 0) { showNote($('lan-note'), 'lan_none'); return; }
    Text.setPlain($('lan-note'), Text.t('lan_found') + ' ' + addresses.length);
    $('lan-note').classList.remove('error');
    var current = $('box-address').value.trim();
    $('box-address-select').value = addresses.indexOf(current) >= 0 ? current : addresses[0];
    if (current === '') $('box-address').value = addresses[0];
  }

  // ----- configuration form --------------------------------------------------------------------

  function fieldKind(attribute, value) {
    if ((value === '0' || value === '1') && /enable|dhcp|auto/i.test(attribute)) return 'flag';
    if (/(^|_)(psw|pwd|password|pass)$/i.test(attribute)) return 'secret';
    if (/^(ip|mask|gateway|dns\d*)$/i.test(attribute)) return 'address';
    if (/port$/i.test(attribute)) return 'port';
    return 'text';
  }

  function labelText(element, attribute) {
    var key = attribute ? 'cfg_' + element + '_' + attribute : 'cfg_' + element;
    return { key: Text.has(key) ? key : null, text: attribute || element };
  }

  function setLabel(el, label) {
    if (label.key) Text.setKey(el, label.key); else Text.setPlain(el, label.text);
  }

  function buildField(fieldset, element, attribute, value) {
    var kind = fieldKind(attribute, value);
    var id = 'cfg-' + element + '-' + attribute;
    var input = document.createElement('input');
    input.id = id;
    input.className = 'op cfg-field';
    input.setAttribute('data-element', element);
    input.setAttribute('data-attribute', attribute);
    input.setAttribute('data-kind', kind);
    var label = document.createElement('label');
    if (kind === 'flag') {
      input.type = 'checkbox';
      input.checked = value === '1';
      label.className = 'check cfg-check';
      var span = document.createElement('span');
      setLabel(span, labelText(element, attribute));
      label.appendChild(input);
      label.appendChild(span);
      fieldset.appendChild(label);
      return;
    }
    label.htmlFor = id;
    setLabel(label, labelText(element, attribute));
    input.type = kind === 'secret' ? 'password' : 'text';
    input.value = value;
    input.spellcheck = false;
    if (kind === 'address' || kind === 'port') input.inputMode = 'decimal';
    label.className = 'field-label';
    var row = document.createElement('div');
    row.className = 'cfg-row';
    row.appendChild(label);
    row.appendChild(input);
    fieldset.appendChild(row);
  }

  function buildForm(doc) {
    var form = $('config-form');
    form.textContent = '';
    Array.prototype.forEach.call(doc.documentElement.children, function (child) {
      var element = child.localName;
      if (element === 'BaseSet') return;
      var fieldset = document.createElement('fieldset');
      fieldset.setAttribute('data-element', element);
      var legend = document.createElement('legend');
      setLabel(legend, labelText(element, null));
      fieldset.appendChild(legend);
      Array.prototype.forEach.call(child.attributes, function (attr) {
        buildField(fieldset, element, attr.name, attr.value);
      });
      form.appendChild(fieldset);
    });
    applyDependencies();
  }

  function parseXml(text) {
    var doc = new DOMParser().parseFromString(text, 'application/xml');
    if (!doc.documentElement || doc.getElementsByTagName('parsererror').length) return null;
    return doc;
  }

  function fetchXml(url) {
    return fetch(url, { cache: 'no-store' }).then(function (response) {
      if (!response.ok) return null;
      return response.text().then(parseXml);
    });
  }

  function loadForm() {
    return fetchXml('/html/Default.xml').then(function (doc) {
      if (doc) buildForm(doc); else showNote($('config-note'), 'cfg_load_failed', true);
    }, function () { showNote($('config-note'), 'cfg_load_failed', true); });
  }

  function configFields() {
    return Array.prototype.slice.call(document.querySelectorAll('#config-form .cfg-field'));
  }

  function fieldValue(input) {
    var value = input.type === 'checkbox' ? (input.checked ? '1' : '0') : input.value;
    return value.split(SEP).join('');
  }

  function setFieldValue(input, value) {
    if (input.type === 'checkbox') input.checked = value === '1';
    else input.value = value;
  }

  // Address fields follow DHCP, and the other fields of a section follow its Enable switch.
  function applyDependencies() {
    document.querySelectorAll('#config-form fieldset').forEach(function (fieldset) {
      var enable = fieldset.querySelector('.cfg-field[data-attribute="Enable"]');
      var dhcp = fieldset.querySelector('.cfg-field[data-attribute="Dhcp"]');
      fieldset.querySelectorAll('.cfg-field').forEach(function (input) {
        var off = (enable && input !== enable && !enable.checked)
          || (dhcp && input.getAttribute('data-kind') === 'address' && dhcp.checked);
        input.setAttribute('data-dep-off', off ? '1' : '0');
      });
    });
    refreshEnabled();
  }

  // A TCP or UDP port number, 1 to 65535.
  function validPort(text) {
    var n = Number(text);
    return /^\d{1,5}$/.test(text) && n >= 1 && n <= 65535;
  }

  function fieldValid(input) {
    var value = input.value.trim();
    var kind = input.getAttribute('data-kind');
    if (value === '') return true;
    if (kind === 'address') return IPV4.test(value);
    if (kind === 'port') return validPort(value);
    return true;
  }

  function validateForm() {
    var firstBad = null;
    configFields().forEach(function (input) {
      var ok = input.type === 'checkbox' || fieldValid(input);
      input.classList.toggle('invalid', !ok);
      if (!ok && !firstBad) firstBad = input;
    });
    if (firstBad) {
      showNote($('config-note'), 'cfg_invalid', true);
      if (!firstBad.disabled) firstBad.focus();
      return false;
    }
    showNote($('config-note'), null);
    return true;
  }

  // Element, attribute and value of every field, each followed by the separator.
  function configTriplets() {
    return configFields().map(function (input) {
      return input.getAttribute('data-element') + SEP + input.getAttribute('data-attribute')
        + SEP + fieldValue(input).trim() + SEP;
    }).join('');
  }

  function sendConfig(command) {
    if (configFields().length === 0) { showNote($('config-note'), 'cfg_load_failed', true); return; }
    if (!validateForm()) return;
    invoke(command, configTriplets());
  }

  function showSetup(doc) {
    var root = doc.documentElement;
    configFields().forEach(function (input) {
      var name = input.getAttribute('data-element');
      var attribute = input.getAttribute('data-attribute');
      var element = Array.prototype.find.call(root.children, function (c) {
        return c.localName === name;
      });
      if (element && element.hasAttribute(attribute)) {
        setFieldValue(input, element.getAttribute(attribute));
        input.classList.remove('invalid');
      }
    });
    applyDependencies();
    showNote($('config-note'), 'cfg_loaded');
  }

  function showUpLoadSetup() {
    return state.ready.then(function () {
      return fetchXml('/api/setup.xml');
    }).then(function (doc) {
      if (doc) showSetup(doc);
    }, function () { /* no local configuration to show */ });
  }

  // ----- other operations ----------------------------------------------------------------------

  function syncTime() {
    var zone = $('time-zone').value.trim() || String(pageValue('nTimeZone', ''));
    $('time-zone').value = zone;
    invoke(22, zone);
    invoke(1, '');
  }

  function utf8Length(text) {
    return new TextEncoder().encode(text).length;
  }

  function wifiName() {
    var name = $('wifi-name').value.trim().split(SEP).join('');
    if (name === '') {
      showNote($('wifi-note'), 'wifi_name_missing', true);
      $('wifi-name').focus();
      return null;
    }
    return name;
  }

  function rememberWifi() {
    var name = wifiName();
    if (name === null) return;
    var password = $('wifi-password').value.split(SEP).join('');
    var argument = name + SEP + password;
    if (utf8Length(argument) > WIFI_MAX_BYTES) { showNote($('wifi-note'), 'wifi_too_long', true); return; }
    showNote($('wifi-note'), null);
    invoke(19, argument);
  }

  function forgetWifi() {
    var name = wifiName();
    if (name === null) return;
    showNote($('wifi-note'), null);
    invoke(20, name);
  }

  // ----- pass-through and panel download ------------------------------------------------------

  var PT_FIELDS = ['pt-mode', 'pt-url', 'pt-e-port', 'pt-baudrate', 'pt-data-length', 'pt-check-bit',
                   'pt-stop-bit'];
  var REMOTE = /^[^:\s]+:(\d{1,5})(:.*)?$/;

  function relayMode() { return $('pt-mode').value === '1'; }

  function showPassThroughMode() {
    var relay = relayMode();
    document.querySelectorAll('.pt-relay').forEach(function (el) { el.style.display = relay ? '' : 'none'; });
    document.querySelectorAll('.pt-direct').forEach(function (el) { el.style.display = relay ? 'none' : ''; });
  }

  // "host:port" or "host:port:subdomain" with a port the relay can reach.
  function remoteValid(text) {
    var match = REMOTE.exec(text);
    return !!match && validPort(match[1]);
  }

  // The description of the fields, or null (with the reason shown) when one is not usable.
  function passThroughDescription() {
    var url = $('pt-url').value.trim();
    var ePort = $('pt-e-port').value.trim();
    if (!remoteValid(url)) { showNote($('pt-note'), 'passthrough_url_invalid', true); return null; }
    if (relayMode() && !validPort(ePort)) {
      showNote($('pt-note'), 'passthrough_port_invalid', true);
      return null;
    }
    showNote($('pt-note'), '');
    if (relayMode()) return { type: 1, url: url, e_port: Number(ePort) };
    return { type: 0, url: url, baudrate: Number($('pt-baudrate').value),
             data_length: Number($('pt-data-length').value), check_bit: $('pt-check-bit').value,
             stop_bit: Number($('pt-stop-bit').value) };
  }

  function startPassThrough() {
    var description = passThroughDescription();
    if (!description) return;
    invoke(7, JSON.stringify(description));
    appendLine(Text.t(relayMode() ? 'passthrough_started_relay' : 'passthrough_started_direct') + ' '
      + description.url);
  }

  function stopPassThrough() {
    invoke(8, '');
    appendLine(Text.t('passthrough_stopped'));
  }

  function checkEditor() {
    appendLine(Text.t(Number(invoke(23, '')) === 1 ? 'hmi_installed' : 'hmi_not_installed'));
  }

  function showEditorVersion() {
    var version = invoke(28, '');
    appendLine(typeof version === 'string' && version !== ''
      ? Text.t('hmi_version_is') + ' ' + version : Text.t('hmi_no_version'));
  }

  // The download tool goes to the local relay in relay mode, else straight to the server.
  function launchDownloadTool() {
    var url = relayMode() ? '127.0.0.1:' + $('pt-e-port').value.trim() : $('pt-url').value.trim();
    if (!remoteValid(url)) {
      showNote($('pt-note'), relayMode() ? 'passthrough_port_invalid' : 'passthrough_url_invalid', true);
      return;
    }
    showNote($('pt-note'), '');
    var started = Number(invoke(24, JSON.stringify({ url: url }))) === 1;
    appendLine(started ? Text.t('hmi_launch_ok') + ' ' + url : Text.t('hmi_launch_failed'));
  }

  function closeWelcome(never) {
    $('first-run').hidden = true;
    try { sessionStorage.setItem(STORE_KEY + '.welcome', '1'); } catch (e) { /* private mode */ }
    if (never) invoke(21, '');
  }

  // ----- page state kept across page switches --------------------------------------------------

  function saveSetting() {
    if (!state.restored) return;
    var config = {};
    configFields().forEach(function (input) { config[input.id] = fieldValue(input); });
    var addresses = Array.prototype.map.call($('box-address-select').options,
      function (o) { return o.value; });
    var saved = {
      link: selectedLink(), address: $('box-address').value, addresses: addresses,
      probe: $('probe-flag').checked, timeZone: $('time-zone').value,
      mode: $('mode-select').value, wifiName: $('wifi-name').value, config: config,
      passThrough: PT_FIELDS.map(function (id) { return $(id).value; })
    };
    try { sessionStorage.setItem(STORE_KEY, JSON.stringify(saved)); } catch (e) { /* no storage */ }
  }

  function readSaved() {
    try { return JSON.parse(sessionStorage.getItem(STORE_KEY) || 'null'); } catch (e) { return null; }
  }

  // The program starts every visit on USB; a page left on the local network asks for it again.
  function restoreSetting() {
    state.restored = true;
    var saved = readSaved();
    if (!saved) return;
    $('box-address').value = saved.address || '';
    fillAddressList(Array.isArray(saved.addresses) ? saved.addresses : []);
    $('probe-flag').checked = !!saved.probe;
    if (saved.timeZone) $('time-zone').value = saved.timeZone;
    if (saved.mode !== undefined) $('mode-select').value = saved.mode;
    $('wifi-name').value = saved.wifiName || '';
    if (Array.isArray(saved.passThrough)) {
      PT_FIELDS.forEach(function (id, i) {
        if (typeof saved.passThrough[i] === 'string') $(id).value = saved.passThrough[i];
      });
      showPassThroughMode();
    }
    configFields().forEach(function (input) {
      if (saved.config && typeof saved.config[input.id] === 'string') {
        setFieldValue(input, saved.config[input.id]);
      }
    });
    applyDependencies();
    if (saved.link === 'LocalNetwork') {
      useLink('LocalNetwork');
      if (IPV4.test(String(saved.address || '').trim())) invoke(12, saved.address.trim());
    }
  }

  // ----- set-up --------------------------------------------------------------------------------

  function fillTimeZones() {
    var current = String(pageValue('nTimeZone', ''));
    var list = $('time-zone-list');
    var zones = TIME_ZONES.slice();
    if (current && zones.indexOf(current) < 0) zones.unshift(current);
    zones.forEach(function (zone) {
      var option = document.createElement('option');
      option.value = zone;
      list.appendChild(option);
    });
    $('time-zone').value = current;
  }

  function showWelcome() {
    var dismissed = false;
    try { dismissed = sessionStorage.getItem(STORE_KEY + '.welcome') === '1'; } catch (e) { /* */ }
    $('first-run').hidden = !(Number(pageValue('nFirst', 0)) === 1 && !dismissed);
  }

  function bind() {
    document.querySelectorAll('button[data-cmd]').forEach(function (button) {
      button.addEventListener('click', function () { invoke(button.getAttribute('data-cmd'), ''); });
    });
    $('link-usb').addEventListener('change', onLinkChange);
    $('link-lan').addEventListener('change', onLinkChange);
    $('btn-select-address').addEventListener('click', chooseAddress);
    $('box-address').addEventListener('keydown', function (e) {
      if (e.key === 'Enter') chooseAddress();
    });
    $('box-address').addEventListener('input', function () {
      $('box-address').classList.remove('invalid');
    });
    $('box-address-select').addEventListener('change', function () {
      $('box-address').value = $('box-address-select').value;
    });
    $('box-address-select').addEventListener('dblclick', function () {
      if ($('box-address-select').value) {
        $('box-address').value = $('box-address-select').value;
        chooseAddress();
      }
    });
    $('btn-discover').addEventListener('click', discover);
    $('btn-write-config').addEventListener('click', function () { sendConfig(0); });
    $('btn-save-config').addEventListener('click', function () { sendConfig(9); });
    $('config-form').addEventListener('change', applyDependencies);
    $('config-form').addEventListener('submit', function (e) { e.preventDefault(); });
    $('btn-sync-time').addEventListener('click', syncTime);
    $('btn-mode').addEventListener('click', function () { invoke(16, $('mode-select').value); });
    $('btn-project-up').addEventListener('click', function () {
      invoke(15, $('project-password').value);
    });
    $('btn-wifi-remember').addEventListener('click', rememberWifi);
    $('btn-wifi-forget').addEventListener('click', forgetWifi);
    $('btn-first-run-never').addEventListener('click', function () { closeWelcome(true); });
    $('btn-first-run-close').addEventListener('click', function () { closeWelcome(false); });
    $('pt-mode').addEventListener('change', showPassThroughMode);
    $('btn-pt-start').addEventListener('click', startPassThrough);
    $('btn-pt-stop').addEventListener('click', stopPassThrough);
    $('btn-hmi-installed').addEventListener('click', checkEditor);
    $('btn-hmi-version').addEventListener('click', showEditorVersion);
    $('btn-hmi-launch').addEventListener('click', launchDownloadTool);
    $('btn-clear-messages').addEventListener('click', function () { $('messages').textContent = ''; });
    window.addEventListener('pagehide', saveSetting);
  }

  function start() {
    bind();
    showPassThroughMode();
    fillTimeZones();
    showWelcome();
    state.ready = Text.load().then(function () {
      Text.apply(document);
      if (state.mode !== undefined) showMode(state.mode);
      return loadForm();
    }).then(restoreSetting);
  }

  return {
    start: start, addText: addText, setBusy: setBusy, detectBox: detectBox,
    refreshList: refreshList, showUpLoadSetup: showUpLoadSetup, saveSetting: saveSetting,
    showProgress: showProgress
  };
})();

// ----- functions the program calls ---------------------------------------------------------------

function AddText(line) { ZelvoPage.addText(line); }

function DisableOperate(disabled) {
  ZelvoPage.setBusy(disabled === true || disabled === 'true' || disabled === 1);
}

function DetectBox(typeText, mode) { ZelvoPage.detectBox(typeText, mode); }

function RefreshList(text) { ZelvoPage.refreshList(text); }

function ShowUpLoadSetup() { return ZelvoPage.showUpLoadSetup(); }

function SaveSetting() { ZelvoPage.saveSetting(); }

function ShowProgress(done, total) { ZelvoPage.showProgress(Number(done) || 0, Number(total) || 0); }

ZelvoPage.start();
