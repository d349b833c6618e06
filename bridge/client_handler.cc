#include "bridge/client_handler.h"

#include "support/browser_launch.h"

namespace {

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

bool IsWebAddress(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

}  // namespace

std::string MakeLoadErrorPage(const std::string& strFailedUrl, const std::string& strErrorText,
                              int nErrorCode) {
    return "<html><body bgcolor=\"white\"><h2>Failed to load URL " + EscapeHtml(strFailedUrl) +
           " with error " + EscapeHtml(strErrorText) + " (" + std::to_string(nErrorCode) +
           ").</h2></body></html>";
}

bool RoutePopupToBrowser(const std::string& strUrl) {
    return IsWebAddress(strUrl) && OpenUrlInBrowser(strUrl);
}
