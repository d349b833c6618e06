#include "bridge/client_handler.h"

#include "support/browser_launch.h"
#include "support/xml_markup.h"

namespace {

bool IsWebAddress(const std::string& url) {
    return url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
}

}  // namespace

std::string MakeLoadErrorPage(const std::string& strFailedUrl, const std::string& strErrorText,
                              int nErrorCode) {
    return "<html><body bgcolor=\"white\"><h2>Failed to load URL " + xml::EscapeAttribute(strFailedUrl) +
           " with error " + xml::EscapeAttribute(strErrorText) + " (" + std::to_string(nErrorCode) +
           ").</h2></body></html>";
}

bool RoutePopupToBrowser(const std::string& strUrl) {
    return IsWebAddress(strUrl) && OpenUrlInBrowser(strUrl);
}
