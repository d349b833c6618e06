// A serial port device opened for reading and writing by this process alone, in raw mode, with
// time-outs in the manner of the Windows communication time-outs: a read ends when the gap
// between two bytes exceeds the interval, or when its total time (multiplier times the bytes
// asked for, plus the constant) is up; a write ends when its total time is up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct CSerialTimeouts {
    unsigned nReadIntervalMs = 0;          // 0: no interval limit
    unsigned nReadTotalMultiplierMs = 0;   // multiplier and constant both 0: no total limit
    unsigned nReadTotalConstantMs = 0;
    unsigned nWriteTotalMultiplierMs = 0;
    unsigned nWriteTotalConstantMs = 0;
};

class CSerialPort {
public:
    CSerialPort() = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;
    ~CSerialPort() { Close(); }

    // Opens an existing device exclusively (a further open by another program fails while it
    // is open) and switches it to raw 8-bit mode. False when a step fails. On Windows a bare
    // port name ("COM12") is opened through the device namespace ("\\.\COM12").
    bool Open(const std::string& strDevicePath);
    bool IsOpen() const { return m_nHandle != kClosed; }
    void SetTimeouts(const CSerialTimeouts& timeouts) { m_timeouts = timeouts; }
    // Bytes written before the write time-out (the whole buffer when all went), -1 on an error.
    long Write(const void* pData, size_t nLength);
    // Bytes read before a time-out ended the read (0 when nothing came), -1 on an error.
    long Read(void* pBuffer, size_t nLength);
    void Close();

private:
    // A descriptor, or a file HANDLE on Windows; -1 (INVALID_HANDLE_VALUE there) when closed.
    static constexpr intptr_t kClosed = -1;
    intptr_t m_nHandle = kClosed;
    CSerialTimeouts m_timeouts;
};

}  // namespace platform
