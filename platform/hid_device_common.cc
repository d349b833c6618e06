// What is the same on every system: opening a HID device through the function a test handed
// in (else the system's own open), and reading the USB parent's name.
#include <charconv>
#include <mutex>
#include <string_view>

#include "platform/hid_device.h"
#include "platform/hid_device_local.h"

namespace platform {
namespace {

std::mutex g_openMutex;
HidOpenFunction g_fnOpen;

// A whole decimal text that fits an int.
bool ParseDecimal(std::string_view text, int* pnValue) {
    const char* pEnd = text.data() + text.size();
    const auto [pStop, ec] = std::from_chars(text.data(), pEnd, *pnValue);
    return !text.empty() && text.front() != '-' && ec == std::errc() && pStop == pEnd;
}

// "<bus>-<port>[.<port>...]": every port on the path must be a number; the last one is kept.
bool ParseSysfsUsbName(std::string_view name, int* pnHub, int* pnPort) {
    const size_t nDash = name.find('-');
    if (nDash == std::string_view::npos || !ParseDecimal(name.substr(0, nDash), pnHub)) {
        return false;
    }
    std::string_view ports = name.substr(nDash + 1);
    while (true) {
        const size_t nDot = ports.find('.');
        if (!ParseDecimal(ports.substr(0, nDot), pnPort)) return false;
        if (nDot == std::string_view::npos) return true;
        ports.remove_prefix(nDot + 1);
    }
}

// "USB\VID_0525&PID_A4AD\6&2B3C4D5E&0&3": the numbers around the last part's '&'s.
bool ParseInstanceId(std::string_view id, int* pnHub, int* pnPort) {
    const std::string_view last = id.substr(id.rfind('\\') + 1);
    const size_t nFirst = last.find('&');
    if (nFirst == std::string_view::npos) return false;
    return ParseDecimal(last.substr(0, nFirst), pnHub) &&
           ParseDecimal(last.substr(last.rfind('&') + 1), pnPort);
}

}  // namespace

bool UsbParentLocation(const std::string& strUsbParentName, int* pnHub, int* pnPort) {
    const std::string_view name(strUsbParentName);
    return name.find('\\') != std::string_view::npos ? ParseInstanceId(name, pnHub, pnPort)
                                                     : ParseSysfsUsbName(name, pnHub, pnPort);
}

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
