#include "bridge/web_security.h"

#include <cstdint>

#include "platform/file_system.h"
#include "platform/random.h"

std::string MakeAccessToken() {
    uint8_t bytes[32];
    if (!platform::FillRandomBytes(bytes, sizeof(bytes))) return "";
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (uint8_t b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 15];
    }
    return token;
}

bool SecretsEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

std::string TokenCookieName(int nPort) { return "zelvo_token_" + std::to_string(nPort); }

std::string FindCookie(std::string_view header, std::string_view name) {
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find(';', pos);
        if (end == std::string_view::npos) end = header.size();
        std::string_view item = header.substr(pos, end - pos);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        const size_t eq = item.find('=');
        if (eq != std::string_view::npos && item.substr(0, eq) == name) {
            return std::string(item.substr(eq + 1));
        }
        pos = end + 1;
    }
    return "";
}

RequestVerdict CheckRequest(const CRequestFacts& facts, int nPort, const std::string& strToken) {
    const std::string authority = "127.0.0.1:" + std::to_string(nPort);
    if (facts.strHost != authority) return RequestVerdict::kBadHost;
    if (!facts.strOrigin.empty() && facts.strOrigin != "http://" + authority) {
        return RequestVerdict::kBadOrigin;
    }
    if (strToken.empty()) return RequestVerdict::kNoToken;
    if (SecretsEqual(facts.strQueryToken, strToken)) return RequestVerdict::kAllow;
    if (SecretsEqual(FindCookie(facts.strCookie, TokenCookieName(nPort)), strToken)) {
        return RequestVerdict::kAllow;
    }
    return RequestVerdict::kNoToken;
}

namespace {

// Every segment after the folder is an ordinary name.
bool HasOnlyPlainSegments(std::string_view rest) {
    if (rest.empty()) return false;
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t end = rest.find('/', pos);
        if (end == std::string_view::npos) end = rest.size();
        const std::string_view segment = rest.substr(pos, end - pos);
        if (segment.empty() || segment == "." || segment == "..") return false;
        pos = end + 1;
    }
    return rest.find('\\') == std::string_view::npos &&
           rest.find('\0') == std::string_view::npos;
}

bool IsInside(const std::string& root, const std::string& path) {
    return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
           path[root.size()] == platform::kPathSeparator;
}

}  // namespace

bool ResolveStaticPath(const std::string& strProgramDir, const std::string& strUrlPath,
                       std::string* pFilePath) {
    std::string folder;
    std::string rest;
    if (strUrlPath == "/title.ico" || strUrlPath == "/logo.ico") {
        rest = strUrlPath.substr(1);
    } else {
        for (const char* root : {"html", "Skins"}) {
            const std::string prefix = std::string("/") + root + "/";
            if (strUrlPath.compare(0, prefix.size(), prefix) == 0) {
                folder = root;
                rest = strUrlPath.substr(prefix.size());
            }
        }
        if (folder.empty() || !HasOnlyPlainSegments(rest)) return false;
    }
    std::string root;
    if (!platform::ResolveRealPath(
            folder.empty() ? strProgramDir : platform::JoinPath(strProgramDir, folder), &root)) {
        return false;
    }
    std::string real;
    if (!platform::ResolveRealPath(platform::JoinPath(root, rest), &real)) return false;
    const bool bPlace = folder.empty() ? real == platform::JoinPath(root, rest) : IsInside(root, real);
    if (!bPlace || !platform::FileExists(real)) return false;
    *pFilePath = real;
    return true;
}

std::string PageUrlFor(const std::string& strProgramDir, const std::string& strPage) {
    if (strPage.find("://") != std::string::npos) return strPage;
    const std::string htmlDir =
        platform::JoinPath(strProgramDir, "html") + platform::kPathSeparator;
    if (strPage.compare(0, htmlDir.size(), htmlDir) == 0) {
        return "/html/" + strPage.substr(htmlDir.size());
    }
    if (strPage.empty()) return "";
    if (strPage.front() == '/') return strPage;
    return "/html/" + strPage;
}
