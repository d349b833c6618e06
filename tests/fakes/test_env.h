// Environment variables that tests set for themselves and for the programs they start, the same
// way on every system the tests run on.
#pragma once

#include <optional>
#include <string>

// Which system the tests run on, and its device that discards what is written and reads empty.
#ifdef _WIN32
inline constexpr bool kWindows = true;
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr bool kWindows = false;
inline constexpr const char* kNullDevice = "/dev/null";
#endif

// Sets the variable in this process's environment (getenv and started programs see it).
void SetTestVariable(const char* szName, const std::string& value);
// Removes the variable from this process's environment.
void UnsetTestVariable(const char* szName);

// A variable set for the life of the object, then put back as it was (or removed).
class CScopedVariable {
public:
    CScopedVariable(const char* szName, const std::string& value);
    ~CScopedVariable();
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;

private:
    const char* m_szName;
    std::optional<std::string> m_old;
};
