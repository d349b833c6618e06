// Opening a HID device, the same on every system: through the function a test handed in, else
// the system's own open.
#include <mutex>

#include "platform/hid_device.h"
#include "platform/hid_device_local.h"

namespace platform {
namespace {

std::mutex g_openMutex;
HidOpenFunction g_fnOpen;

}  // namespace

void SetHidOpenFunction(HidOpenFunction fn) {
    std::lock_guard<std::mutex> lock(g_openMutex);
    g_fnOpen = std::move(fn);
}

HidHandle OpenHidDevice(const std::string& strPath, bool bWrite) {
    HidOpenFunction fnOpen;
    {
        std::lock_guard<std::mutex> lock(g_openMutex);
        fnOpen = g_fnOpen;
    }
    return fnOpen ? fnOpen(strPath, bWrite) : OpenSystemHidDevice(strPath, bWrite);
}

}  // namespace platform
