// The box's USB link: the box is a HID device (vendor 0x0525, product 0xA4AD) that carries the
// command channel in 1025-byte reports (byte 0 the report number, always 0; 1024 payload bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "box/box_link.h"
#include "platform/hid_device.h"

// How long each USB report read waits, in milliseconds: 2000, or 4000 after a write whose second
// and third bytes are 'E','D'. Every later write that sends data sets it back to 2000. Used by the
// worker thread only.
extern uint32_t g_nUsbReadTimeout;

// "USB(<port>)HUB(<hub>)" from the system's name of the box's USB parent (see
// platform::UsbParentLocation): "1-4.2" gives "USB(2)HUB(1)", "USB\VID_0525&PID_A4AD\6&2B&0&3"
// gives "USB(3)HUB(6)"; empty when the name has neither form.
std::string UsbLocationText(const std::string& strUsbParentName);

// The box's device record and its link. Only the worker thread uses it, under the command lock.
// The device is opened twice, one handle for reads and one for writes. Completion and abort
// events are not needed here: every wait is a poll with its own time-out on the handle.
class HidScan : public BoxLink {
  public:
    static constexpr uint16_t kBoxVendor = 0x0525;
    static constexpr uint16_t kBoxProduct = 0xA4AD;
    static constexpr size_t kReportSize = 1025;
    static constexpr size_t kPayloadSize = 1024;
    // Location and device path are kept like 260-unit buffers: text that would not fit with
    // its terminator (more than 259 characters) is refused, never cut.
    static constexpr size_t kMaxTextLength = 259;

    HidScan() = default;
    ~HidScan() override;
    HidScan(const HidScan&) = delete;
    HidScan& operator=(const HidScan&) = delete;

    // Scans the present HID devices for boxes that can be located on the USB tree. Returns 1
    // when at least one was found, else 0. Each box found replaces the previous one in the
    // record, so the last in enumeration order wins, but a record marked opened keeps its path
    // and location. Writes its progress to standard output.
    int FindDevice();
    // Opens the recorded device for reading and for writing; true when both handles are open
    // (at once when already opened).
    bool Open();
    // Clears the opened flag and both texts and closes the handles.
    void Close();

    // Sends the data in 1024-byte chunks, one 1025-byte report each, waiting up to 2000 ms per
    // report. Returns the bytes written, or -1 when a report fails, times out or the record is
    // not opened for writing. Sets g_nUsbReadTimeout (see above); a length of 0 writes nothing.
    long Write(const char* pData, size_t nLength);
    // Reads reports until nLength bytes are delivered, each report giving at most 1024 bytes
    // (the rest of a report is discarded) and each waiting up to g_nUsbReadTimeout ms. Returns
    // the bytes delivered, fewer when a report timed out or failed.
    long Read(char* pBuffer, size_t nLength);

    // BoxLink: Send is true when every byte was written (false at once when not opened);
    // Receive is true when exactly nLength bytes arrived; Drain does nothing and returns false.
    bool Send(const char* pData, size_t nLength, size_t* pnCount) override;
    bool Receive(char* pBuffer, size_t nLength, size_t* pnCount) override;
    bool Drain(int nFlag) override;

    const std::string& GetLocation() const { return m_strLocation; }
    const std::string& GetDevicePath() const { return m_strDevicePath; }
    bool IsOpened() const { return m_bOpened; }

  private:
    void CloseHandles();

    std::string m_strLocation;    // "USB(%d)HUB(%d)"
    std::string m_strDevicePath;  // the node opened by Open
    platform::HidHandle m_hRead = platform::kInvalidHidHandle;
    platform::HidHandle m_hWrite = platform::kInvalidHidHandle;
    bool m_bOpened = false;  // both handles are valid
};
