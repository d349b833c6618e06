// The workstation's COM ports: the numbers in use (for choosing a free name and for the settings
// page's list) and whether a port of a given name is present as a device right now.
#pragma once

#include <string>
#include <vector>

// The range of names the virtual port may take, and a name of it ("COM7").
inline constexpr int kFirstComPort = 2;
inline constexpr int kLastComPort = 255;
std::string ComPortName(int nNumber);

// Appends the numbers of the ports in use or reserved (platform/com_port_map.h), in the order
// found. Always 1; what could be read is appended. strDevicesDir names a folder of serial
// devices that stands in for the system's in tests (empty: the system's).
int ListPortNumbers(std::vector<int>* pNumbers, const std::string& strDevicesDir = {});

// The folder the program's own calls of ListPortNumbers read serial devices from: empty for the
// system's, unless a test named another (empty restores the system's).
void SetSerialDevicesDir(const std::string& strDir);
std::string SerialDevicesDir();

// 1 when a device of exactly that port name is present now (so "com2" is never present);
// else 0.
int IsPortPresent(const std::string& strPortName);

// The path that opens the port ("COM2" -> its device), or empty when there is none.
std::string PortDevicePath(const std::string& strPortName);
