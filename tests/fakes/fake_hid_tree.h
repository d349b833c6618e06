// A sysfs tree of HID devices in a temp folder, made the HID scan's root while it exists. Only
// the Linux HID layer reads such a tree (SimUsbAvailable() in tools/box_sim/sim_usb_pair.h tells
// whether this is such a system).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "platform/hid_device.h"

struct CFakeNode {
    int nNumber;
    std::string strParents;  // folders between the device tree's top and the HID device
    uint16_t nVendor;
    uint16_t nProduct;
};

// A sysfs tree laid out like the kernel's: class/hidraw/hidrawN links to the node folder below
// its HID device, and the node's "device" links back up to that HID device.
class CFakeHidTree {
  public:
    CFakeHidTree() : m_strRoot(platform::MakeTempDirectory("zelvo_hid_")) {
        platform::CreateDirectories(Path("sys/class/hidraw"));
        platform::SetHidSysfsRoot(Path("sys/class/hidraw"));
        platform::SetHidDeviceRoot(Path("dev"));
    }
    ~CFakeHidTree() {
        platform::SetHidSysfsRoot("");
        platform::SetHidDeviceRoot("");
        platform::RemoveDirectoryTree(m_strRoot);
    }
    std::string Path(const std::string& strRelative) const {
        return platform::JoinPath(m_strRoot, strRelative);
    }
    void Add(const CFakeNode& node) {
        char szHid[32], szId[64];
        std::snprintf(szHid, 32, "0003:%04X:%04X.%04X", node.nVendor, node.nProduct, node.nNumber);
        std::snprintf(szId, 64, "HID_ID=0003:%08X:%08X\n", node.nVendor, node.nProduct);
        const std::string strHid = "sys/devices/" + node.strParents + "/" + szHid;
        const std::string strName = "hidraw" + std::to_string(node.nNumber);
        const std::string strNode = strHid + "/hidraw/" + strName;
        ASSERT_TRUE(platform::CreateDirectories(Path(strNode)));
        ASSERT_TRUE(platform::WriteFileAtomic(Path(strHid + "/uevent"),
                                              std::string("DRIVER=hid-generic\n") + szId));
        Link(std::string("../../../") + szHid, strNode + "/device");
        Link("../../../" + strNode, "sys/class/hidraw/" + strName);
    }
    void Link(const std::string& strTarget, const std::string& strName) {
        ASSERT_TRUE(platform::CreateSymbolicLink(strTarget, Path(strName))) << strName;
    }

  private:
    std::string m_strRoot;
};
