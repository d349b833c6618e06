// One box link as the program holds it: the command channel with its TCP link and USB device
// record, and what is known about the identified box's type. The command worker and the box
// command line both drive the box operations through it.
#pragma once

#include <string>

#include "box/box_channel.h"
#include "box/box_identify.h"
#include "box/hid_scan.h"
#include "box/tcp_link.h"
#include "support/xml_document.h"

class CBoxSession {
public:
    explicit CBoxSession(CBoxTiming timing = {}, CTcpLinkTiming tcpTiming = {});

    // Closes the USB device, scans for the box and opens it; on success the USB link becomes
    // the active link. Non-zero when open.
    int OpenUsbLink();
    // Connects to the box's command port; the TCP link becomes the active link whatever the
    // outcome. Non-zero when connected.
    int OpenTcpLink(const std::string& strAddress);
    void CloseUsbDevice() { m_usbDevice.Close(); }

    // Reads the box type list (BOXType.hmi) from the program directory.
    bool LoadBoxTypes();
    // Identifies the box (see IdentifyBox); the caller looks its type up afterwards.
    CBoxIdentity Identify(int nPreviousMode);
    void LookupBoxRecord(const std::string& strHmiType);

    CBoxChannel& Channel() { return m_channel; }
    const CBoxTypeRecord& Record() const { return m_record; }

private:
    CBoxChannel m_channel;
    BoxTcpLink m_tcpLink;
    HidScan m_usbDevice;
    XmlDocument m_boxTypes;
    CBoxTypeRecord m_record;
    int m_nBoxPort = kBoxCommandPort;
};
