// The string-file reader on any bytes. Properties that must hold for every entry of the table:
// it comes from one line (no line feed), nothing of a comment is left ('#'), the key ends at
// the first '=', and the brand token is replaced in values.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "support/localized_strings.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::map<std::string, std::string> table = ParseStringTable(AsText(data, size), "ZELVO");
    for (const auto& [key, value] : table) {
        if (key.find_first_of("\n#=") != std::string::npos) {
            ReportViolation("key holds a line feed, '#' or '='", "", key);
        }
        if (value.find_first_of("\n#") != std::string::npos) {
            ReportViolation("value holds a line feed or '#'", "", value);
        }
        if (value.find("replaceBox") != std::string::npos) {
            ReportViolation("brand token left in a value", "", value);
        }
    }
    return 0;
}
