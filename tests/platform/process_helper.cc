// A small program the process tests start, the same on every system, so that what a started
// program received (arguments, variables, input, folder) can be checked from its output.
//   args A B ...      writes each argument as "[A]"
//   env NAME ...      writes "NAME=value" or "NAME unset" per line
//   save FILE         copies standard input to FILE
//   print FILE        copies FILE to standard output
//   touch FILE        creates FILE (relative to the working folder)
//   exit N            ends with exit code N, reading nothing
//   FILE              (any other single argument) creates FILE, as touch does
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace {

void Copy(std::FILE* pFrom, std::FILE* pTo) {
    char buffer[8192];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pFrom)) > 0) std::fwrite(buffer, 1, n, pTo);
}

std::FILE* Open(const std::string& path, const char* szMode) {
#ifdef _WIN32
    const int nWide = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(nWide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), nWide);
    const std::wstring mode(szMode, szMode + std::strlen(szMode));
    return _wfopen(wide.c_str(), mode.c_str());
#else
    return std::fopen(path.c_str(), szMode);
#endif
}

int Run(const std::vector<std::string>& args) {
    if (args.size() < 2) return 2;
    const std::string& mode = args[1];
    if (mode == "args") {
        for (size_t i = 2; i < args.size(); ++i) std::printf("[%s]", args[i].c_str());
        return 0;
    }
    if (mode == "env") {
        for (size_t i = 2; i < args.size(); ++i) {
            const char* szValue = std::getenv(args[i].c_str());
            if (szValue != nullptr) std::printf("%s=%s\n", args[i].c_str(), szValue);
            if (szValue == nullptr) std::printf("%s unset\n", args[i].c_str());
        }
        return 0;
    }
    if (mode == "exit" && args.size() == 3) return std::atoi(args[2].c_str());
    const bool bTouchAlone = args.size() == 2;
    const bool bFileMode = mode == "save" || mode == "print" || mode == "touch";
    if (!bTouchAlone && (args.size() != 3 || !bFileMode)) return 2;
    std::FILE* pFile = Open(args.back(), mode == "print" ? "rb" : "wb");
    if (pFile == nullptr) return 3;
    if (mode == "save") Copy(stdin, pFile);
    if (mode == "print") Copy(pFile, stdout);
    std::fclose(pFile);
    return 0;
}

}  // namespace

#ifdef _WIN32
// The wide entry point: arguments arrive as the system split them, in full Unicode.
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const int nBytes =
            WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<size_t>(nBytes), '\0');
        WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), nBytes, nullptr, nullptr);
        arg.resize(arg.size() - 1);
        args.push_back(arg);
    }
    return Run(args);
}
#else
int main(int argc, char** argv) {
    return Run(std::vector<std::string>(argv, argv + argc));
}
#endif
