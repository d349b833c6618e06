// The program directory: where settings, pages and data files are found.
#pragma once

#include <string>

namespace platform {

// The directory of the running executable without a trailing separator, unless
// SetProgramDirectory replaced it (command-line option, tests).
std::string GetProgramDirectory();

// Overrides the program directory; a trailing separator is dropped. Empty restores the default.
void SetProgramDirectory(const std::string& dir);

// Path of the running executable.
std::string GetExecutablePath();

}  // namespace platform
