// HID devices through SetupAPI and the HID library. The scan walks the present interfaces of
// the HID class; each interface's device node leads, through the configuration manager, to the
// USB device above it. Reports move by overlapped reads and writes bounded by a wait; the
// device handle is kept in a C runtime descriptor so that the handle type is the same int as
// on other systems.
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
// The HID library's header declares its functions without C linkage.
extern "C" {
#include <hidsdi.h>
}
#include <fcntl.h>
#include <io.h>

#include <climits>
#include <memory>

#include "platform/hid_device.h"
#include "platform/hid_device_local.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

struct CDeviceSetCloser {
    void operator()(HDEVINFO hSet) const {
        if (hSet != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(hSet);
    }
};
using CDeviceSet = std::unique_ptr<void, CDeviceSetCloser>;

// The interface's device path and its device node; false when the detail cannot be read.
bool ReadInterfaceDetail(HDEVINFO hSet, SP_DEVICE_INTERFACE_DATA* pInterface,
                         std::wstring* pPath, DEVINST* pNode) {
    DWORD nSize = 0;
    SetupDiGetDeviceInterfaceDetailW(hSet, pInterface, nullptr, 0, &nSize, nullptr);
    if (nSize < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return false;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[nSize]);
    if (!buffer) return false;
    auto* pDetail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
    pDetail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    if (!SetupDiGetDeviceInterfaceDetailW(hSet, pInterface, pDetail, nSize, nullptr, &device)) {
        return false;
    }
    *pPath = pDetail->DevicePath;
    *pNode = device.DevInst;
    return true;
}

// Vendor and product of the device, opened without access rights (which any process may).
bool ReadAttributes(const std::wstring& path, CHidDeviceInfo* pInfo) {
    const HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    const bool bRead = HidD_GetAttributes(h, &attributes) != FALSE;
    CloseHandle(h);
    pInfo->nVendor = attributes.VendorID;
    pInfo->nProduct = attributes.ProductID;
    return bRead;
}

// The instance identifier of the device above the HID device when that is a USB device
// ("USB\VID_0525&PID_A4AD\6&2B3C4D5E&0&3"); empty otherwise.
std::string UsbParentId(DEVINST node) {
    DEVINST parent = 0;
    wchar_t szId[MAX_DEVICE_ID_LEN + 1] = {};
    if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS ||
        CM_Get_Device_IDW(parent, szId, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
        return std::string();
    }
    const std::string strId = Utf8FromWide(szId);
    const bool bUsb = strId.size() > 4 && (strId[0] | 0x20) == 'u' && (strId[1] | 0x20) == 's' &&
                      (strId[2] | 0x20) == 'b' && strId[3] == '\\';
    return bUsb ? strId : std::string();
}

HANDLE OsHandle(HidHandle h) {
    return h == kInvalidHidHandle ? INVALID_HANDLE_VALUE
                                  : reinterpret_cast<HANDLE>(_get_osfhandle(h));
}

// One overlapped transfer waited for at most nTimeoutMs; a transfer still running then is
// cancelled (and waited for, as it uses our buffer). The byte count, 0 on time-out, -1 on an
// error; a transfer of nothing means the device is gone and counts as an error.
int TransferReport(HidHandle h, bool bWrite, void* pReport, size_t nLength, unsigned nTimeoutMs) {
    const HANDLE hDevice = OsHandle(h);
    if (hDevice == INVALID_HANDLE_VALUE) return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) return -1;
    const DWORD nAsk = static_cast<DWORD>(nLength < INT_MAX ? nLength : INT_MAX);
    const BOOL bDone = bWrite ? WriteFile(hDevice, pReport, nAsk, nullptr, &overlapped)
                              : ReadFile(hDevice, pReport, nAsk, nullptr, &overlapped);
    int nResult = -1;
    if (bDone || GetLastError() == ERROR_IO_PENDING) {
        const bool bTimedOut = WaitForSingleObject(overlapped.hEvent, nTimeoutMs) == WAIT_TIMEOUT;
        if (bTimedOut) CancelIoEx(hDevice, &overlapped);
        DWORD nMoved = 0;
        if (GetOverlappedResult(hDevice, &overlapped, &nMoved, TRUE)) {
            nResult = nMoved > 0 ? static_cast<int>(nMoved) : -1;
        } else if (bTimedOut && GetLastError() == ERROR_OPERATION_ABORTED) {
            nResult = 0;
        }
    }
    CloseHandle(overlapped.hEvent);
    return nResult;
}

}  // namespace

// The device tree is the system's own; these folders only ever serve the scan on Linux.
void SetHidSysfsRoot(const std::string& /*strRoot*/) {}
void SetHidDeviceRoot(const std::string& /*strRoot*/) {}

std::vector<CHidDeviceInfo> EnumerateHidDevices() {
    std::vector<CHidDeviceInfo> devices;
    GUID hidClass;
    HidD_GetHidGuid(&hidClass);
    const CDeviceSet set(SetupDiGetClassDevsW(&hidClass, nullptr, nullptr,
                                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (set.get() == INVALID_HANDLE_VALUE) return devices;
    SP_DEVICE_INTERFACE_DATA interface{};
    interface.cbSize = sizeof(interface);
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set.get(), nullptr, &hidClass, i, &interface);
         ++i) {
        std::wstring path;
        DEVINST node = 0;
        CHidDeviceInfo info;
        if (!ReadInterfaceDetail(set.get(), &interface, &path, &node) ||
            !ReadAttributes(path, &info)) {
            continue;
        }
        info.strDevicePath = Utf8FromWide(path);
        info.strUsbParentName = UsbParentId(node);
        devices.push_back(std::move(info));
    }
    return devices;
}

HidHandle OpenSystemHidDevice(const std::string& strPath, bool bWrite) {
    const HANDLE h = CreateFileW(
        WideFromUtf8(strPath).c_str(), bWrite ? GENERIC_WRITE : GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidHidHandle;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd < 0 ? kInvalidHidHandle : fd;
}

void CloseHidDevice(HidHandle h) {
    if (h != kInvalidHidHandle) _close(h);  // closes the device handle with the descriptor
}

int WriteHidReport(HidHandle h, const unsigned char* pReport, size_t nLength, unsigned nTimeoutMs) {
    return TransferReport(h, true, const_cast<unsigned char*>(pReport), nLength, nTimeoutMs);
}

int ReadHidReport(HidHandle h, unsigned char* pReport, size_t nLength, unsigned nTimeoutMs) {
    return TransferReport(h, false, pReport, nLength, nTimeoutMs);
}

}  // namespace platform
