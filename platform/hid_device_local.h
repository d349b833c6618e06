// The backends' part of opening a HID device (hid_device_common.cc adds the test override).
#pragma once

#include <string>

#include "platform/hid_device.h"

namespace platform {

// Opens the system's device for reading or for writing; kInvalidHidHandle on failure.
HidHandle OpenSystemHidDevice(const std::string& strPath, bool bWrite);

}  // namespace platform
