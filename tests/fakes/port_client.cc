#include "tests/fakes/port_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

CPortClient::CPortClient(const std::string& strDevicePath) {
    m_nFd = strDevicePath.empty() ? -1 : open(strDevicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings;
    if (m_nFd < 0 || tcgetattr(m_nFd, &settings) != 0) return;
    cfmakeraw(&settings);
    tcsetattr(m_nFd, TCSANOW, &settings);
}

CPortClient::~CPortClient() {
    if (m_nFd >= 0) close(m_nFd);
}

std::string CPortClient::RoundTrip(const std::string& data, std::chrono::milliseconds limit) {
    std::string received;
    size_t nWritten = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (received.size() < data.size() && std::chrono::steady_clock::now() < end) {
        pollfd fd = {m_nFd, static_cast<short>(POLLIN | (nWritten < data.size() ? POLLOUT : 0)), 0};
        if (poll(&fd, 1, 200) <= 0) continue;
        if (fd.revents & POLLIN) {
            char buffer[8192];
            const ssize_t n = read(m_nFd, buffer, sizeof(buffer));
            if (n > 0) received.append(buffer, static_cast<size_t>(n));
        }
        if ((fd.revents & POLLOUT) && nWritten < data.size()) {
            const size_t nChunk = std::min<size_t>(4096, data.size() - nWritten);
            const ssize_t n = write(m_nFd, data.data() + nWritten, nChunk);
            if (n > 0) nWritten += static_cast<size_t>(n);
        }
    }
    return received;
}
