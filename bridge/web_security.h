// The web host's access rules, kept apart from the server so that each rule can be checked on
// its own: the per-start token, the Host and Origin checks, and where a request path may lead.
#pragma once

#include <string>
#include <string_view>

// 32 random bytes as 64 hexadecimal digits; empty when the system generator fails.
std::string MakeAccessToken();

// What a request brings that the rules look at.
struct CRequestFacts {
    std::string strHost;     // the Host header
    std::string strOrigin;   // the Origin header; empty when absent
    std::string strCookie;   // the Cookie header
    std::string strQueryToken;  // the "token" query parameter
};

enum class RequestVerdict { kAllow, kBadHost, kBadOrigin, kNoToken };

// Host must be "127.0.0.1:<port>"; an Origin, when present, "http://127.0.0.1:<port>"; the token
// must come in the query or in the cookie named by TokenCookieName.
RequestVerdict CheckRequest(const CRequestFacts& facts, int nPort, const std::string& strToken);
// The cookie that carries the token: one name per port, so two hosts never mix tokens.
std::string TokenCookieName(int nPort);
// The value of one cookie of a Cookie header; empty when absent.
std::string FindCookie(std::string_view header, std::string_view name);
// Equality that takes the same time wherever the texts differ.
bool SecretsEqual(std::string_view a, std::string_view b);

// The file that a request path stands for: a file under html/ or Skins/ of the program
// directory ("/html/...", "/Skins/..."), or the icons "/title.ico" and "/logo.ico". The path is
// already percent-decoded. Empty, "." and ".." segments, backslashes and NUL are refused, and
// the file's real path (links resolved) must still lie inside its folder. False otherwise.
bool ResolveStaticPath(const std::string& strProgramDir, const std::string& strUrlPath,
                       std::string* pFilePath);
// The URL path of a page given as a program-directory file path or as a home page address:
// "<dir>/html/x.html" -> "/html/x.html"; a relative "x.html" -> "/html/x.html"; an address with
// a scheme stays as it is.
std::string PageUrlFor(const std::string& strProgramDir, const std::string& strPage);
