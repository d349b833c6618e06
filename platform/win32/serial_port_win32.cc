// Serial ports through the communication functions: exclusive by opening without sharing, raw
// 8N1 through the device control block, time-outs as the system's communication time-outs.
#include <windows.h>

#include <climits>

#include "platform/serial_port.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

HANDLE Win(intptr_t nHandle) {
    return reinterpret_cast<HANDLE>(nHandle);
}

// "COM<n>" (any letter case) becomes "\\.\COM<n>": ports above COM9 open only that way.
std::string DevicePath(const std::string& strPath) {
    const bool bComName = strPath.size() > 3 && (strPath[0] | 0x20) == 'c' &&
                          (strPath[1] | 0x20) == 'o' && (strPath[2] | 0x20) == 'm' &&
                          strPath.find_first_not_of("0123456789", 3) == std::string::npos;
    return bComName ? "\\\\.\\" + strPath : strPath;
}

// Raw bytes: 8 data bits, no parity, one stop bit, no flow control, no character handling.
// The speed stays what the port has.
bool MakeRaw(HANDLE h) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(h, &dcb)) return false;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(h, &dcb) != FALSE;
}

bool ApplyTimeouts(HANDLE h, const CSerialTimeouts& timeouts) {
    COMMTIMEOUTS comm{};
    comm.ReadIntervalTimeout = timeouts.nReadIntervalMs;
    comm.ReadTotalTimeoutMultiplier = timeouts.nReadTotalMultiplierMs;
    comm.ReadTotalTimeoutConstant = timeouts.nReadTotalConstantMs;
    comm.WriteTotalTimeoutMultiplier = timeouts.nWriteTotalMultiplierMs;
    comm.WriteTotalTimeoutConstant = timeouts.nWriteTotalConstantMs;
    return SetCommTimeouts(h, &comm) != FALSE;
}

DWORD Clamp(size_t nLength) {
    return static_cast<DWORD>(nLength < LONG_MAX ? nLength : LONG_MAX);
}

}  // namespace

bool CSerialPort::Open(const std::string& strDevicePath) {
    Close();
    const HANDLE h = CreateFileW(WideFromUtf8(DevicePath(strDevicePath)).c_str(),
                                 GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (!MakeRaw(h)) {
        CloseHandle(h);
        return false;
    }
    m_nHandle = reinterpret_cast<intptr_t>(h);
    return true;
}

// The time-outs go to the port before every transfer: SetTimeouts only records them.
long CSerialPort::Write(const void* pData, size_t nLength) {
    DWORD nWritten = 0;
    if (!IsOpen() || !ApplyTimeouts(Win(m_nHandle), m_timeouts) ||
        !WriteFile(Win(m_nHandle), pData, Clamp(nLength), &nWritten, nullptr)) {
        return -1;
    }
    return static_cast<long>(nWritten);
}

long CSerialPort::Read(void* pBuffer, size_t nLength) {
    DWORD nRead = 0;
    if (!IsOpen() || !ApplyTimeouts(Win(m_nHandle), m_timeouts) ||
        !ReadFile(Win(m_nHandle), pBuffer, Clamp(nLength), &nRead, nullptr)) {
        return -1;
    }
    return static_cast<long>(nRead);
}

void CSerialPort::Close() {
    if (!IsOpen()) return;
    CloseHandle(Win(m_nHandle));
    m_nHandle = kClosed;
}

}  // namespace platform
