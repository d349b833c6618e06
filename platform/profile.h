// Private-profile (INI) files, with the semantics of the Windows profile functions that the
// program relies on:
//  - a missing file, section or key gives the default;
//  - section and key names compare without regard to ASCII case;
//  - a string value is cut to its buffer size minus one (characters for the wide form, bytes
//    for the 8-bit form); surrounding blanks and one pair of matching quotes are removed;
//  - an integer is read from the value's leading decimal digits (an optional sign first),
//    non-numeric text reads 0, an empty value gives the default;
//  - a write creates the file, the section and the key as needed, keeps every other line, and
//    replaces the file atomically.
#pragma once

#include <cstddef>
#include <string>

#include "platform/windows_names.h"

namespace platform {

// GetPrivateProfileInt.
int GetProfileInt(const std::string& section, const std::string& key, int defaultValue,
                  const std::string& path);

// GetPrivateProfileStringW: the file is decoded as UTF-8 (UTF-16 with a byte-order mark);
// malformed bytes become U+FFFD. The result holds at most bufferSize - 1 code points.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, size_t bufferSize,
                             const std::string& path);

// GetPrivateProfileStringA: the value's bytes as stored, at most bufferSize - 1 of them and
// never part of a character (see CutAnsiText). The caller converts them from its code page.
std::string GetProfileStringA(const std::string& section, const std::string& key,
                              const std::string& defaultValue, size_t bufferSize,
                              const std::string& path);

// WritePrivateProfileString. Returns false when the file cannot be written.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

}  // namespace platform
