#include "tests/fakes/test_env.h"

#include <cstdlib>

// The C runtime of Windows has no setenv; its _putenv_s also updates the process environment
// that started programs inherit, and an empty value removes the variable.
void SetTestVariable(const char* szName, const std::string& value) {
#ifdef _WIN32
    _putenv_s(szName, value.c_str());
#else
    setenv(szName, value.c_str(), 1);
#endif
}

void UnsetTestVariable(const char* szName) {
#ifdef _WIN32
    _putenv_s(szName, "");
#else
    unsetenv(szName);
#endif
}

CScopedVariable::CScopedVariable(const char* szName, const std::string& value) : m_szName(szName) {
    if (const char* szOld = std::getenv(szName)) m_old = szOld;
    SetTestVariable(szName, value);
}

CScopedVariable::~CScopedVariable() {
    if (m_old) {
        SetTestVariable(m_szName, *m_old);
    } else {
        UnsetTestVariable(m_szName);
    }
}
