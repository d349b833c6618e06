// The console the program was started from.
#pragma once

namespace platform {

// True when standard error is a terminal (a person watches it, so progress may be drawn there).
bool IsStandardErrorTerminal();

}  // namespace platform
