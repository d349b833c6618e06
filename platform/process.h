// Starting other programs: without a shell, with the arguments as a list, so that no argument
// can ever become a command.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

struct CSpawnRequest {
    std::string strProgram;         // a path, or a bare name looked up in the PATH folders
    std::vector<std::string> args;  // the arguments after the program name
    // Variables set (added or replaced) in the child's environment.
    std::vector<std::pair<std::string, std::string>> env;
    std::string strWorkingDir;  // empty: the caller's
};

// Starts the program and does not wait for it. False when it could not be started.
bool SpawnDetached(const CSpawnRequest& request, int* pPid = nullptr);
// Starts the program and waits for it to end. onStarted, when given, runs once the program has
// started and before the wait (it does not run when the start failed). Returns the exit code,
// or -1 when it could not be started or did not end normally.
int RunAndWait(const CSpawnRequest& request, const std::function<void()>& onStarted = {});
// Starts the program, writes input to its standard input, closes it and waits for the end.
// Returns the exit code, or -1 when it could not be started or did not end normally.
int RunWithInput(const CSpawnRequest& request, std::string_view input);
// Starts the program and waits for it, collecting its standard output (at most 64 KiB).
// Returns the exit code, or -1 when it could not be started or did not end normally.
int RunAndCapture(const CSpawnRequest& request, std::string* output);
// The full path of an executable file of that name in the PATH folders; empty when none. On
// Windows the name is also tried with ".exe" added.
std::string FindProgramOnPath(const std::string& name);

// Hands a file, folder or address to the system's shell, as a double click would: with the
// verb ("open", "edit", ...; empty for the file type's default). On Windows the shell's own
// start (ShellExecute), strParameters being the command line the program gets. Elsewhere the
// file itself is started with strParameters as its one argument when parameters are given,
// else xdg-open opens it; the verb is not used. Does not wait. False when it could not be
// started.
bool OpenWithShell(const std::string& strVerb, const std::string& strFile,
                   const std::string& strParameters);

}  // namespace platform
