// A program with a virtual serial port open, as a download tool opens it: the device behind
// the port's link, raw.
#pragma once

#include <chrono>
#include <string>

class CPortClient {
public:
    explicit CPortClient(const std::string& strDevicePath);
    ~CPortClient();
    CPortClient(const CPortClient&) = delete;
    CPortClient& operator=(const CPortClient&) = delete;

    bool IsOpen() const { return m_nFd >= 0; }
    // Writes everything while reading the same number of bytes back, for at most `limit`;
    // the bytes read.
    std::string RoundTrip(const std::string& data,
                          std::chrono::milliseconds limit = std::chrono::seconds(60));

private:
    int m_nFd = -1;
};
