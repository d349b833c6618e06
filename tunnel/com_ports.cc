// The workstation's COM ports as the tunnel sees them; the system's own lists are read by the
// platform's COM port map.
#include "tunnel/com_ports.h"

#include <mutex>

#include "platform/com_port_map.h"

namespace {

std::mutex g_devicesDirMutex;
std::string g_strDevicesDir;

}  // namespace

void SetSerialDevicesDir(const std::string& strDir) {
    std::lock_guard<std::mutex> lock(g_devicesDirMutex);
    g_strDevicesDir = strDir;
}

std::string SerialDevicesDir() {
    std::lock_guard<std::mutex> lock(g_devicesDirMutex);
    return g_strDevicesDir;
}

int ListPortNumbers(std::vector<int>* pNumbers, const std::string& strDevicesDir) {
    platform::AppendComPortNumbers(pNumbers, strDevicesDir);
    return 1;
}

std::string PortDevicePath(const std::string& strPortName) {
    return platform::ComPortDevicePath(strPortName);
}

int IsPortPresent(const std::string& strPortName) {
    return platform::IsComPortPresent(strPortName) ? 1 : 0;
}

std::string ComPortName(int nNumber) {
    return "COM" + std::to_string(nNumber);
}
