// HID devices: finding them and moving whole reports. On Linux these are the hidraw nodes, on
// Windows the interfaces of the HID device class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct CHidDeviceInfo {
    std::string strDevicePath;  // the node to open, e.g. "/dev/hidraw0" or "\\?\hid#vid_..."
    uint16_t nVendor = 0;
    uint16_t nProduct = 0;
    // System name of the USB device above the HID interface; empty when the HID device does not
    // sit on USB. On Linux its sysfs name "<bus>-<port>[.<port>...]" (e.g. "1-4.2"); on
    // Windows its device instance identifier, "USB\VID_0525&PID_A4AD\6&2B3C4D5E&0&3".
    std::string strUsbParentName;
};

// The two numbers that place the USB parent: on Linux the bus number (hub) and the last port of
// "<bus>-<port>[.<port>...]"; on Windows the numbers before the first '&' (hub) and after the
// last '&' (port) of the identifier's last '\'-separated part ("6&2B3C4D5E&0&3": hub 6,
// port 3). Both forms are read on every system (only the Windows one holds a '\'). False when
// the name has neither form or a number is not decimal.
bool UsbParentLocation(const std::string& strUsbParentName, int* pnHub, int* pnPort);

// Linux only (Windows ignores them): the folder that lists the HID nodes (default
// "/sys/class/hidraw") and the folder that holds the device nodes themselves (default "/dev").
// An empty text restores the default. Tests point them at a tree of their own.
void SetHidSysfsRoot(const std::string& strRoot);
void SetHidDeviceRoot(const std::string& strRoot);

// The HID devices present now, ordered by node number (hidraw0, hidraw1, ..., hidraw10) so that
// repeated scans see them in the same order; on Windows in the system's enumeration order.
// Nodes whose vendor and product cannot be read are left out. An unreadable folder gives an
// empty list.
std::vector<CHidDeviceInfo> EnumerateHidDevices();

// A descriptor; on Windows a C runtime descriptor that owns the device handle.
using HidHandle = int;
inline constexpr HidHandle kInvalidHidHandle = -1;

// Opens a device node for reading or for writing; returns kInvalidHidHandle on failure.
using HidOpenFunction = std::function<HidHandle(const std::string& strPath, bool bWrite)>;

// Replaces the opening of device nodes (tests hand in a fake device); an empty function
// restores the real one. The handle returned is owned by the caller and closed with
// CloseHidDevice.
void SetHidOpenFunction(HidOpenFunction fn);
HidHandle OpenHidDevice(const std::string& strPath, bool bWrite);
void CloseHidDevice(HidHandle h);  // an invalid handle is ignored

// Writes one report (byte 0 is the report number) waiting at most nTimeoutMs for the device to
// take it. Returns the bytes written, 0 on time-out, -1 on error or an invalid handle.
int WriteHidReport(HidHandle h, const unsigned char* pReport, size_t nLength, unsigned nTimeoutMs);

// Reads one report into pReport (at most nLength bytes) waiting at most nTimeoutMs for it.
// Returns its length, 0 on time-out, -1 on error, an invalid handle or a device that went away.
// A device without numbered reports delivers the payload alone, without the report number.
int ReadHidReport(HidHandle h, unsigned char* pReport, size_t nLength, unsigned nTimeoutMs);

}  // namespace platform
