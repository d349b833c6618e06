// Helpers shared by the fuzz targets: splitting an input into fields, a scratch folder per
// process, and the one way a target reports a broken property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Field separator inside one record of an input, and record separator between records.
inline constexpr char kFuzzUnitSep = '\x1f';
inline constexpr char kFuzzRecordSep = '\x1e';

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return std::string_view(reinterpret_cast<const char*>(data), size);
}

// Splits text at sep into at most nMax fields; the last field keeps the rest, separators
// included. Missing fields are empty.
std::vector<std::string_view> SplitFields(std::string_view text, char sep, size_t nMax);

// Splits text at every sep, keeping at most nMax pieces (the rest is dropped).
std::vector<std::string_view> SplitRecords(std::string_view text, char sep, size_t nMax);

// A folder for the files of this process, made on first use and removed at exit.
const std::string& ScratchDirectory();

// Prints what broke, with the values that show it, and aborts so the fuzzer keeps the input.
[[noreturn]] void ReportViolation(std::string_view what, std::string_view expected = {},
                                  std::string_view actual = {});
