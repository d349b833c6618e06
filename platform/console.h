// The console the program was started from.
#pragma once

namespace platform {

// True when standard error is a terminal (a person watches it, so progress may be drawn there).
bool IsStandardErrorTerminal();

// Sends standard output nowhere (a tool that calls a reader with debugging lines keeps its own
// output clean). Returns what RestoreStandardOutput needs, or -1 when nothing changed.
int SilenceStandardOutput();
// Undoes SilenceStandardOutput; -1 does nothing.
void RestoreStandardOutput(int nSaved);

}  // namespace platform
