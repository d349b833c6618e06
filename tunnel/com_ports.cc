// COM ports on this platform: the ports folder holds links "comN" to tty devices (the names a
// Windows program under Wine sees as COM ports), and each /dev/ttySn stands for COM(n+1).
#include "tunnel/com_ports.h"

#include <climits>
#include <mutex>
#include <string_view>

#include "platform/file_system.h"
#include "platform/tunnel_paths.h"

namespace {

constexpr const char* kDefaultDevicesDir = "/dev";

std::mutex g_devicesDirMutex;
std::string g_strDevicesDir = kDefaultDevicesDir;

// The number after the prefix when the name is the prefix and decimal digits only.
bool ParseNumberedName(std::string_view name, std::string_view prefix, bool bIgnoreCase,
                       int* pnNumber) {
    if (name.size() <= prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = name[i];
        if (bIgnoreCase && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    long long llNumber = 0;
    for (const char c : name.substr(prefix.size())) {
        if (c < '0' || c > '9') return false;
        llNumber = llNumber * 10 + (c - '0');
        if (llNumber > INT_MAX) return false;
    }
    *pnNumber = static_cast<int>(llNumber);
    return true;
}

// Appends (number + nOffset) for each entry of the folder named prefix and digits.
void AppendNumberedEntries(const std::string& strDir, std::string_view prefix, bool bIgnoreCase,
                           int nOffset, std::vector<int>* pNumbers) {
    std::vector<std::string> names;
    if (!platform::ListDirectory(strDir, &names)) return;
    for (const std::string& name : names) {
        int nNumber = 0;
        if (ParseNumberedName(name, prefix, bIgnoreCase, &nNumber) && nNumber <= INT_MAX - nOffset)
            pNumbers->push_back(nNumber + nOffset);
    }
}

// The ports folder's link for an exact "COMN" name, or empty for any other name.
std::string PortLinkPath(const std::string& strPortName) {
    int nNumber = 0;
    if (!ParseNumberedName(strPortName, "COM", false, &nNumber)) return {};
    return platform::JoinPath(platform::GetSerialPortsDir(), "com" + strPortName.substr(3));
}

}  // namespace

void SetSerialDevicesDir(const std::string& strDir) {
    std::lock_guard<std::mutex> lock(g_devicesDirMutex);
    g_strDevicesDir = strDir.empty() ? kDefaultDevicesDir : strDir;
}

std::string SerialDevicesDir() {
    std::lock_guard<std::mutex> lock(g_devicesDirMutex);
    return g_strDevicesDir;
}

int ListPortNumbers(std::vector<int>* pNumbers, const std::string& strDevicesDir) {
    AppendNumberedEntries(platform::GetSerialPortsDir(), "com", true, 0, pNumbers);
    AppendNumberedEntries(strDevicesDir, "ttyS", false, 1, pNumbers);
    return 1;
}

std::string PortDevicePath(const std::string& strPortName) {
    const std::string strLink = PortLinkPath(strPortName);
    std::string strTarget;
    if (strLink.empty() || !platform::ReadSymbolicLink(strLink, &strTarget) ||
        !platform::IsCharacterDevice(strLink)) {
        return {};
    }
    if (strTarget.empty() || strTarget[0] == platform::kPathSeparator) return strTarget;
    return platform::JoinPath(platform::ParentDirectory(strLink), strTarget);
}

int IsPortPresent(const std::string& strPortName) {
    return PortDevicePath(strPortName).empty() ? 0 : 1;
}

std::string ComPortName(int nNumber) {
    return "COM" + std::to_string(nNumber);
}
