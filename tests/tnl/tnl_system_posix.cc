#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>

#include "tests/tnl/tnl_system.h"
#include "tnl/tnl.h"

namespace tnl_test {

// The library reaches only this machine's service; a socket whose peer is gone reports EPIPE;
// a closed socket reads as its end, so the half reply fails to parse.
const SystemErrors kSystemErrors = {ENOENT, EPIPE, TNL_ERROR_NOT_FOUND, "otherhost", EHOSTUNREACH};

void* LoadLibraryFile(const char* szPath, std::string* error) {
    // RTLD_LOCAL and a final dlclose give every load its own library state.
    void* pLibrary = dlopen(szPath, RTLD_NOW | RTLD_LOCAL);
    if (pLibrary == nullptr) *error = dlerror();
    return pLibrary;
}

void* FindFunction(void* pLibrary, const char* szName) {
    return dlsym(pLibrary, szName);
}

void UnloadLibraryFile(void* pLibrary) {
    dlclose(pLibrary);
}

void SetRunDirVariable(const std::string& runDir) {
    setenv("TNL_RUN_DIR", runDir.c_str(), 1);
}

}  // namespace tnl_test
