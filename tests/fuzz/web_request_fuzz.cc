// A request as the web host's access rules see it: the path (already percent-decoded), the
// Host, Origin and Cookie headers and the token of the query.
//
// Input: path, host, origin, cookie and query token separated by 0x1F.
// Properties: a path resolves only to a file under html/ or Skins/ of the program directory, or
// to one of the two icons beside them, never to the settings file that lies beside the folders
// (links pointing out of html/ included); a request is admitted only with the exact loopback
// Host, no foreign Origin and the token in the query or the port's cookie.
#include <cstddef>
#include <cstdint>
#include <string>

#include "bridge/web_security.h"
#include "platform/file_system.h"
#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

namespace {

constexpr int kPort = 8123;
const std::string kToken(64, 'a');

// html/ and Skins/ with files, links that lead out, and a secret beside them.
const std::string& ProgramDir() {
    static const std::string dir = [] {
        std::string root;
        platform::ResolveRealPath(ScratchDirectory(), &root);
        for (const char* folder : {"html/sub", "Skins/Default"}) {
            platform::CreateDirectories(platform::JoinPath(root, folder));
        }
        for (const char* file : {"html/a.html", "html/sub/b.js", "Skins/Default/c.png",
                                 "title.ico", "SoftLang.ini"}) {
            platform::WriteFileAtomic(platform::JoinPath(root, file), "x");
        }
        (void)!symlink("../SoftLang.ini", platform::JoinPath(root, "html/out.html").c_str());
        (void)!symlink("..", platform::JoinPath(root, "html/up").c_str());
        (void)!symlink("../html", platform::JoinPath(root, "Skins/pages").c_str());
        return root;
    }();
    return dir;
}

bool IsUnder(const std::string& path, const std::string& folder) {
    const std::string root = platform::JoinPath(ProgramDir(), folder) + "/";
    return path.compare(0, root.size(), root) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto fields = SplitFields(AsText(data, size), kFuzzUnitSep, 5);
    const std::string path(fields[0]);
    std::string file;
    if (ResolveStaticPath(ProgramDir(), path, &file)) {
        const bool bIcon = file == platform::JoinPath(ProgramDir(), "title.ico") ||
                           file == platform::JoinPath(ProgramDir(), "logo.ico");
        if (!bIcon && !IsUnder(file, "html") && !IsUnder(file, "Skins")) {
            ReportViolation("served a file outside html/ and Skins/", path, file);
        }
    }
    CRequestFacts facts{std::string(fields[1]), std::string(fields[2]), std::string(fields[3]),
                        std::string(fields[4])};
    if (CheckRequest(facts, kPort, kToken) == RequestVerdict::kAllow) {
        const bool bToken = facts.strQueryToken == kToken ||
                            FindCookie(facts.strCookie, TokenCookieName(kPort)) == kToken;
        if (facts.strHost != "127.0.0.1:8123" || !bToken ||
            !(facts.strOrigin.empty() || facts.strOrigin == "http://127.0.0.1:8123")) {
            ReportViolation("admitted a request it must refuse", facts.strHost, facts.strOrigin);
        }
    }
    return 0;
}
