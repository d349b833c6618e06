// COM ports on Windows: the serial device map and the COM name database in the registry list
// the numbers; the setup library, loaded when needed, tells whether a port's device is present.
#include "platform/com_port_map.h"

#include <windows.h>
#include <setupapi.h>

#include <memory>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

constexpr wchar_t kSerialMapKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr wchar_t kNameArbiterKey[] = L"SYSTEM\\CurrentControlSet\\Control\\COM Name Arbiter";
constexpr DWORD kValueNameUnits = 260;
constexpr DWORD kValueDataBytes = 520;
constexpr DWORD kPortNameBytes = 512;

// The active ports: each value of the serial device map whose text is "COM" and digits.
void AppendActivePorts(std::vector<int>* pNumbers) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialMapKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    for (DWORD nIndex = 0;; ++nIndex) {
        wchar_t szName[kValueNameUnits] = {};
        BYTE data[kValueDataBytes] = {};
        DWORD cchName = kValueNameUnits;
        DWORD cbData = kValueDataBytes;
        const LONG nResult =
            RegEnumValueW(hKey, nIndex, szName, &cchName, nullptr, nullptr, data, &cbData);
        if (nResult == ERROR_MORE_DATA) continue;  // too long for a port name
        if (nResult != ERROR_SUCCESS) break;       // ERROR_NO_MORE_ITEMS at the end
        int nNumber = 0;
        if (ParseNumberedName(Utf8FromWide(RegistryText(data, cbData)), "COM", true, &nNumber))
            pNumbers->push_back(nNumber);
    }
    RegCloseKey(hKey);
}

// The reserved ports: the bits of the name arbiter's "ComDB" bitmap.
void AppendDatabasePorts(std::vector<int>* pNumbers) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNameArbiterKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return;
    BYTE bitmap[kValueDataBytes] = {};
    DWORD cbBitmap = sizeof(bitmap);
    if (RegQueryValueExW(hKey, L"ComDB", nullptr, nullptr, bitmap, &cbBitmap) == ERROR_SUCCESS)
        AppendReservedComPorts(std::span<const unsigned char>(bitmap, cbBitmap), pNumbers);
    RegCloseKey(hKey);
}

// The setup library's functions, looked up at run time so that a system without the library
// still lists its ports. All must be there, the device property reader included.
struct CSetupApi {
    decltype(&SetupDiOpenDevRegKey) pOpenDevRegKey = nullptr;
    decltype(&SetupDiClassGuidsFromNameW) pClassGuidsFromName = nullptr;
    decltype(&SetupDiGetClassDevsW) pGetClassDevs = nullptr;
    decltype(&SetupDiGetDeviceRegistryPropertyW) pGetDeviceRegistryProperty = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) pDestroyDeviceInfoList = nullptr;
    decltype(&SetupDiEnumDeviceInfo) pEnumDeviceInfo = nullptr;
};

template <typename Fn>
bool LookUp(HMODULE hLibrary, const char* szName, Fn* pFn) {
    *pFn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(hLibrary, szName)));
    return *pFn != nullptr;
}

bool LookUpSetupApi(HMODULE hLibrary, CSetupApi* pApi) {
    bool bAll = LookUp(hLibrary, "SetupDiOpenDevRegKey", &pApi->pOpenDevRegKey);
    bAll &= LookUp(hLibrary, "SetupDiClassGuidsFromNameW", &pApi->pClassGuidsFromName);
    bAll &= LookUp(hLibrary, "SetupDiGetClassDevsW", &pApi->pGetClassDevs);
    bAll &= LookUp(hLibrary, "SetupDiGetDeviceRegistryPropertyW",
                   &pApi->pGetDeviceRegistryProperty);
    bAll &= LookUp(hLibrary, "SetupDiDestroyDeviceInfoList", &pApi->pDestroyDeviceInfoList);
    bAll &= LookUp(hLibrary, "SetupDiEnumDeviceInfo", &pApi->pEnumDeviceInfo);
    return bAll;
}

// True when the device's hardware key holds a text "PortName" equal to the name.
bool DeviceHasPortName(const CSetupApi& api, HDEVINFO hDevices, SP_DEVINFO_DATA* pDevice,
                       const std::wstring& portName) {
    const HKEY hKey =
        api.pOpenDevRegKey(hDevices, pDevice, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (hKey == INVALID_HANDLE_VALUE) return false;
    BYTE value[kPortNameBytes] = {};
    DWORD cbValue = sizeof(value);
    DWORD nType = 0;
    const bool bEqual =
        RegQueryValueExW(hKey, L"PortName", nullptr, &nType, value, &cbValue) == ERROR_SUCCESS &&
        nType == REG_SZ && RegistryText(value, cbValue) == portName;
    RegCloseKey(hKey);
    return bEqual;
}

// Walks the present devices of the "Ports" setup class for one whose port name is the name.
bool FindPortDevice(const CSetupApi& api, const std::wstring& portName) {
    DWORD nGuids = 0;
    api.pClassGuidsFromName(L"Ports", nullptr, 0, &nGuids);
    if (nGuids == 0) return false;  // the class query's own error stays
    std::unique_ptr<GUID[]> guids(new (std::nothrow) GUID[nGuids]);
    if (!guids) {
        SetLastError(ERROR_OUTOFMEMORY);
        return false;
    }
    if (!api.pClassGuidsFromName(L"Ports", guids.get(), nGuids, &nGuids)) return false;
    const HDEVINFO hDevices = api.pGetClassDevs(&guids[0], nullptr, nullptr, DIGCF_PRESENT);
    if (hDevices == INVALID_HANDLE_VALUE) return false;
    bool bFound = false;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD nIndex = 0; !bFound && api.pEnumDeviceInfo(hDevices, nIndex, &device); ++nIndex)
        bFound = DeviceHasPortName(api, hDevices, &device, portName);
    api.pDestroyDeviceInfoList(hDevices);
    return bFound;
}

}  // namespace

void AppendComPortNumbers(std::vector<int>* pNumbers, const std::string& /*strDevicesDir*/) {
    AppendActivePorts(pNumbers);
    AppendDatabasePorts(pNumbers);
}

bool IsComPortPresent(const std::string& strPortName) {
    const HMODULE hLibrary = LoadLibraryW(L"SETUPAPI.DLL");
    if (hLibrary == nullptr) return false;
    CSetupApi api;
    if (!LookUpSetupApi(hLibrary, &api)) {
        FreeLibrary(hLibrary);
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    const bool bPresent = FindPortDevice(api, WideFromUtf8(strPortName));
    // The reason of a failed query outlives the unload.
    const DWORD nError = GetLastError();
    FreeLibrary(hLibrary);
    SetLastError(nError);
    return bPresent;
}

std::string ComPortDevicePath(const std::string& strPortName) {
    int nNumber = 0;
    if (!ParseNumberedName(strPortName, "COM", false, &nNumber)) return {};
    return "\\\\.\\" + strPortName;
}

}  // namespace platform
