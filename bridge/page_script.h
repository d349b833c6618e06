// Page reports as script.
#pragma once

#include <string>

#include "support/operation_report.h"

// The script for a report: mode 0 a localized line by key, 1 the script itself, 2 a raw line
// (both lines escaped for the script); empty for an unknown mode.
std::string MakePageScript(const std::string& text, int nMode);
