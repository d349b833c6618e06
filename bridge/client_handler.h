// What the program adds to the browser that shows its pages: the error page for a program page
// that fails to load, and pop-ups sent to the chosen external browser.
#pragma once

#include <string>

// The error code of a load that was aborted; such a load shows nothing.
inline constexpr int kLoadAborted = -3;
inline constexpr int kLoadFileNotFound = -6;
inline constexpr const char* kLoadFileNotFoundText = "ERR_FILE_NOT_FOUND";

// "<html><body bgcolor=\"white\"><h2>Failed to load URL <url> with error <text> (<code>).</h2>
// </body></html>". The URL and the text are HTML-escaped: a crafted address must not put markup
// or script into the page.
std::string MakeLoadErrorPage(const std::string& strFailedUrl, const std::string& strErrorText,
                              int nErrorCode);

// A page asks to open a new window on an address: "Edge" opens it with microsoft-edge, a
// selected browser program opens it; true when the pop-up is taken care of that way. False
// lets the browser open the pop-up itself. Only http and https addresses leave the program:
// anything else could reach the browser program as a switch.
bool RoutePopupToBrowser(const std::string& strUrl);
