// The workstation's serial ports: which COM port numbers are in use or reserved, whether a port
// of a given name is present as a device right now, and the path a present port is opened with.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Appends the numbers of the ports in use or reserved, in the order found; a port known from
// two sources is listed twice. On Windows: the active ports of the serial device map, then the
// reserved ones of the COM name database. Here: the ports folder's entries "comN" (letter case
// ignored), then N+1 for each serial device ttySN of strDevicesDir (empty: "/dev"; Windows
// ignores it). What cannot be read is left out.
void AppendComPortNumbers(std::vector<int>* pNumbers, const std::string& strDevicesDir = {});

// True when a device of exactly that port name ("COM2", never "com2") is present now. On
// Windows a failed query leaves its reason in the system's last error.
bool IsComPortPresent(const std::string& strPortName);

// The path that opens the port ("\\.\COM2" on Windows, the tty the ports folder's link names
// here); empty when the name is not "COM" and digits, or here when no device stands behind it.
std::string ComPortDevicePath(const std::string& strPortName);

// The number after prefix when name is prefix followed by decimal digits only (at least one,
// at most INT_MAX); the prefix is compared without regard to letter case when bIgnoreCase.
bool ParseNumberedName(std::string_view name, std::string_view prefix, bool bIgnoreCase,
                       int* pnNumber);

// Appends the ports a COM name database bitmap marks as reserved: bit b (least significant
// first) of byte i stands for port 8*i + b + 1. Only the first 260 bytes count.
void AppendReservedComPorts(std::span<const unsigned char> bitmap, std::vector<int>* pNumbers);

}  // namespace platform
