// The workstation's COM ports: the numbers in use (for choosing a free name and for the settings
// page's list) and whether a port of a given name is present as a device right now.
#pragma once

#include <string>
#include <vector>

// The range of names the virtual port may take, and a name of it ("COM7").
inline constexpr int kFirstComPort = 2;
inline constexpr int kLastComPort = 255;
std::string ComPortName(int nNumber);

// Appends the numbers of the ports folder's entries named "com" and digits (letter case ignored),
// in the folder's order, then n+1 for each /dev/ttySn. Always 1; what could be read is appended.
// devicesDir stands in for /dev in tests.
int ListPortNumbers(std::vector<int>* pNumbers, const std::string& strDevicesDir = "/dev");

// The folder the program's own calls of ListPortNumbers read the ttySn devices from: "/dev",
// unless a test named another (empty restores "/dev").
void SetSerialDevicesDir(const std::string& strDir);
std::string SerialDevicesDir();

// 1 when the ports folder has a link "comN" to a character device that exists now and the
// name is exactly "COMN" (so "com2" is never present); else 0.
int IsPortPresent(const std::string& strPortName);

// The device path of a present port ("COM2" -> the link's target), or empty.
std::string PortDevicePath(const std::string& strPortName);
