#include "bridge/page_context.h"

#include <string_view>

#include "bridge/script_text.h"
#include "support/settings.h"

namespace {

// The extension's native function becomes a synchronous request to the host (see
// kPageRuntime); everything else of its text stays as it is.
constexpr std::string_view kNativeDeclaration = "native function jsInvokeCPlusPlus();";
constexpr std::string_view kNativeReplacement =
    "function jsInvokeCPlusPlus() { return __zelvoNative(\"jsInvokeCPlusPlus\", arguments); }";

// The page's side of the host: the native call (arguments typed as the program reads them),
// the page's load state, pop-ups routed to the chosen browser, and the keys F5 and Escape.
constexpr const char* kPageRuntime = R"JS((function () {
  function typed(v) {
    switch (typeof v) {
      case 'boolean': return { t: 'b', v: v };
      case 'number':
        return Number.isInteger(v) && v >= -2147483648 && v <= 2147483647
          ? { t: 'i', v: v } : { t: 'd', v: isFinite(v) ? v : 0 };
      case 'string': return { t: 's', v: v };
      default: return { t: 'u' };
    }
  }
  function request(path, body) {
    var x = new XMLHttpRequest();
    x.open('POST', path, false);
    x.setRequestHeader('Content-Type', 'application/json');
    try { x.send(JSON.stringify(body)); } catch (e) { return null; }
    return x.status === 200 ? JSON.parse(x.responseText) : null;
  }
  Object.defineProperty(window, '__zelvoNative', { value: function (name, args) {
    var list = [];
    for (var i = 0; i < args.length; i++) list.push(typed(args[i]));
    var r = request('/api/invoke', { name: name, args: list });
    return r && r.result ? r.result.v : undefined;
  } });
  var framed = window.parent !== window;
  var instance = Math.random().toString(36).slice(2);
  function report(state) {
    if (!framed) return;
    var body = JSON.stringify({ url: location.pathname, instance: instance, state: state });
    navigator.sendBeacon('/api/page', new Blob([body], { type: 'text/plain' }));
  }
  window.addEventListener('load', function () { report('loaded'); });
  window.addEventListener('pagehide', function () { report('unloaded'); });
  function route(url) {
    var r = request('/api/open-url', { url: String(new URL(url, location.href)) });
    return !!(r && r.handled);
  }
  var nativeOpen = window.open;
  window.open = function (url, target) {
    if (url && (!target || target === '_blank') && route(url)) return null;
    return nativeOpen.apply(window, arguments);
  };
  document.addEventListener('click', function (e) {
    var a = e.target && e.target.closest ? e.target.closest('a[target="_blank"]') : null;
    if (a && a.href && route(a.href)) e.preventDefault();
  }, true);
  document.addEventListener('keydown', function (e) {
    if (e.keyCode === 27 && document.fullscreenElement) {
      {document.webkitExitFullscreen()}
    } else if (e.key === 'F5') {
      e.preventDefault();
      location.reload();
    }
  }, true);
})();
)JS";

constexpr const char* kMyObject = R"JS(window.myobject = (function () {
  var value = '';
  var o = {};
  Object.defineProperty(o, 'myval', { enumerable: true,
    get: function () { return value; },
    set: function (v) {
      if (typeof v !== 'string') throw new Error('Invalid value type');
      value = v;
    } });
  return o;
})();
)JS";

std::string StringVariable(const char* name, const std::string& value) {
    return std::string("window.") + name + " = \"" + EscapeScriptString(value) + "\";\n";
}

std::string IntVariable(const char* name, int value) {
    return std::string("window.") + name + " = " + std::to_string(value) + ";\n";
}

}  // namespace

CPageContext ReadPageContext(const std::string& strTimeZoneName) {
    CAppSettings settings;
    int nFirst = 0;
    unsigned short wLangId = 0;
    ReadSettingsFile(&settings, &nFirst, &wLangId);
    CPageContext context;
    context.CurrentAppLang = settings.szLang;
    context.nOem = settings.nOem;
    context.nAppMode = settings.nAppMode;
    context.nFirst = nFirst;
    context.nRep = settings.szRep;
    context.nTimeZone = strTimeZoneName;
    context.szServerList = settings.strServerList;
    context.curserver = ReadCurrentServer();
    if (!settings.strVirCom.empty()) {
        context.CurVirCom = settings.strVirCom + ": Virtual Serial Port";
    }
    context.CurSoftVer = GetSoftwareVersionNumber();
    return context;
}

std::string BuildAppScript(const CPageContext& context) {
    std::string extension = kAppExtensionSource;
    extension.replace(extension.find(kNativeDeclaration), kNativeDeclaration.size(),
                      kNativeReplacement);
    std::string script = kPageRuntime;
    script += extension + "\n";
    script += StringVariable("jsValue", context.jsValue);
    script += StringVariable("CurrentAppLang", context.CurrentAppLang);
    script += IntVariable("nOem", context.nOem);
    script += IntVariable("nAppMode", context.nAppMode);
    script += IntVariable("nFirst", context.nFirst);
    script += StringVariable("nRep", context.nRep);
    script += StringVariable("nTimeZone", context.nTimeZone);
    script += StringVariable("szServerList", context.szServerList);
    script += StringVariable("curserver", context.curserver);
    script += StringVariable("CurVirCom", context.CurVirCom);
    script += StringVariable("CurSoftVer", context.CurSoftVer);
    script += kMyObject;
    return script;
}
