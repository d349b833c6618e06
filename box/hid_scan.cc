// The box's USB device: scan, open and close, and the report framing of the command channel.
#include "box/hid_scan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

uint32_t g_nUsbReadTimeout = 2000;

namespace {

const unsigned kWriteTimeoutMs = 2000;
const uint32_t kReadTimeoutMs = 2000;
const uint32_t kLongReadTimeoutMs = 4000;  // after data with 'E','D' as bytes 1 and 2

// Bytes 1 and 2 of the data are 'E','D'; only bytes within the data are looked at.
bool AsksForLongReplies(const char* pData, size_t nLength) {
    return nLength >= 3 && pData[1] == 'E' && pData[2] == 'D';
}

// A device without numbered reports delivers the payload alone; moves it behind a report
// number 0 so that every report has the 1025-byte form. A shorter report leaves the rest of
// the cleared buffer as zeros.
void NormaliseReport(unsigned char* pReport, size_t nRead) {
    if (nRead >= HidScan::kReportSize) return;
    std::memmove(pReport + 1, pReport, nRead);
    pReport[0] = 0;
}

}  // namespace

std::string UsbLocationText(const std::string& strUsbParentName) {
    int nHub = 0, nPort = 0;
    if (!platform::UsbParentLocation(strUsbParentName, &nHub, &nPort)) return std::string();
    char szText[64];
    std::snprintf(szText, sizeof(szText), "USB(%d)HUB(%d)", nPort, nHub);
    return szText;
}

HidScan::~HidScan() {
    CloseHandles();
}

// Diagnostics go to standard error: standard output carries the frontends' own text (the
// terminal's lines, the box command line's JSON).
int HidScan::FindDevice() {
    int nFound = 0;
    for (const platform::CHidDeviceInfo& info : platform::EnumerateHidDevices()) {
        if (info.strDevicePath.size() > kMaxTextLength) continue;
        std::fprintf(stderr, "VID:%0X, PID:%0X\r\n", info.nVendor, info.nProduct);
        if (info.nVendor != kBoxVendor || info.nProduct != kBoxProduct) continue;
        std::fprintf(stderr, "find device!\r\n");
        if (info.strUsbParentName.empty()) continue;
        std::fprintf(stderr, "begin GetLocalPath!\r\n");
        const std::string strLocation = UsbLocationText(info.strUsbParentName);
        if (strLocation.empty()) continue;
        if (!m_bOpened) {
            m_strLocation = strLocation;
            m_strDevicePath = info.strDevicePath;
        }
        std::fprintf(stderr, "DeviceName : %s \r\n", strLocation.c_str());
        nFound = 1;
    }
    return nFound;
}

bool HidScan::Open() {
    if (m_bOpened) return true;
    CloseHandles();  // handles left by a half-failed open
    m_hRead = platform::OpenHidDevice(m_strDevicePath, false);
    m_hWrite = platform::OpenHidDevice(m_strDevicePath, true);
    m_bOpened = m_hRead != platform::kInvalidHidHandle && m_hWrite != platform::kInvalidHidHandle;
    return m_bOpened;
}

void HidScan::Close() {
    m_bOpened = false;
    m_strLocation.clear();
    m_strDevicePath.clear();
    CloseHandles();
}

void HidScan::CloseHandles() {
    platform::CloseHidDevice(m_hRead);
    platform::CloseHidDevice(m_hWrite);
    m_hRead = platform::kInvalidHidHandle;
    m_hWrite = platform::kInvalidHidHandle;
}

long HidScan::Write(const char* pData, size_t nLength) {
    if (nLength > 0 && m_hWrite == platform::kInvalidHidHandle) return -1;
    // Cleared once: payload bytes after a short last chunk keep what the chunk before left.
    unsigned char report[kReportSize] = {};
    size_t nWritten = 0;
    while (nWritten < nLength) {
        const size_t nChunk = std::min(kPayloadSize, nLength - nWritten);
        std::memcpy(report + 1, pData + nWritten, nChunk);
        g_nUsbReadTimeout = kReadTimeoutMs;
        const int nSent = platform::WriteHidReport(m_hWrite, report, kReportSize, kWriteTimeoutMs);
        if (nSent != static_cast<int>(kReportSize)) return -1;
        nWritten += nChunk;
    }
    if (AsksForLongReplies(pData, nLength)) g_nUsbReadTimeout = kLongReadTimeoutMs;
    return static_cast<long>(nWritten);
}

long HidScan::Read(char* pBuffer, size_t nLength) {
    if (m_hRead == platform::kInvalidHidHandle) return 0;
    size_t nDelivered = 0;
    while (nDelivered < nLength) {
        unsigned char report[kReportSize] = {};
        const int nRead = platform::ReadHidReport(m_hRead, report, kReportSize, g_nUsbReadTimeout);
        if (nRead <= 0) break;
        NormaliseReport(report, static_cast<size_t>(nRead));
        const size_t nTake = std::min(nLength - nDelivered, kPayloadSize);
        std::memcpy(pBuffer + nDelivered, report + 1, nTake);
        nDelivered += nTake;
    }
    return static_cast<long>(nDelivered);
}

bool HidScan::Send(const char* pData, size_t nLength, size_t* pnCount) {
    *pnCount = 0;
    if (!m_bOpened) return false;
    const long nWritten = Write(pData, nLength);
    if (nWritten > 0) *pnCount = static_cast<size_t>(nWritten);
    return nWritten >= 0 && static_cast<size_t>(nWritten) == nLength;
}

bool HidScan::Receive(char* pBuffer, size_t nLength, size_t* pnCount) {
    *pnCount = 0;
    if (m_hRead == platform::kInvalidHidHandle) return false;
    *pnCount = static_cast<size_t>(Read(pBuffer, nLength));
    return *pnCount == nLength;
}

bool HidScan::Drain(int /*nFlag*/) {
    return false;
}
