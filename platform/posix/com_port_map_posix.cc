// COM ports on this system: the ports folder holds links "comN" to tty devices (the names a
// Windows program under Wine sees as COM ports), and each /dev/ttySN stands for COM(N+1).
#include "platform/com_port_map.h"

#include <climits>

#include "platform/file_system.h"
#include "platform/tunnel_paths.h"

namespace platform {

namespace {

constexpr const char* kDefaultDevicesDir = "/dev";

// Appends (number + nOffset) for each entry of the folder named prefix and digits.
void AppendNumberedEntries(const std::string& strDir, std::string_view prefix, bool bIgnoreCase,
                           int nOffset, std::vector<int>* pNumbers) {
    std::vector<std::string> names;
    if (!ListDirectory(strDir, &names)) return;
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
    return JoinPath(GetSerialPortsDir(), "com" + strPortName.substr(3));
}

}  // namespace

void AppendComPortNumbers(std::vector<int>* pNumbers, const std::string& strDevicesDir) {
    AppendNumberedEntries(GetSerialPortsDir(), "com", true, 0, pNumbers);
    AppendNumberedEntries(strDevicesDir.empty() ? kDefaultDevicesDir : strDevicesDir, "ttyS",
                          false, 1, pNumbers);
}

std::string ComPortDevicePath(const std::string& strPortName) {
    const std::string strLink = PortLinkPath(strPortName);
    std::string strTarget;
    if (strLink.empty() || !ReadSymbolicLink(strLink, &strTarget) || !IsCharacterDevice(strLink))
        return {};
    if (strTarget.empty() || strTarget[0] == kPathSeparator) return strTarget;
    return JoinPath(ParentDirectory(strLink), strTarget);
}

bool IsComPortPresent(const std::string& strPortName) {
    return !ComPortDevicePath(strPortName).empty();
}

}  // namespace platform
