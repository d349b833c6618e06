// Serial ports over termios: exclusive through TIOCEXCL, time-outs through poll.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "platform/serial_port.h"
#include "platform/thread_util.h"

namespace platform {
namespace {

bool MakeRaw(int nFd) {
    termios tio{};
    if (tcgetattr(nFd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    return tcsetattr(nFd, TCSANOW, &tio) == 0;
}

// The end of a total time-out, or 0 when the operation has none.
uint64_t Deadline(unsigned nMultiplierMs, unsigned nConstantMs, size_t nLength) {
    if (nMultiplierMs == 0 && nConstantMs == 0) return 0;
    return MonotonicMs() + static_cast<uint64_t>(nMultiplierMs) * nLength + nConstantMs;
}

// How long the next poll may wait: the time left before the deadline, cut to the interval
// when one applies; -1 for no limit, 0 when the deadline has passed.
int PollWait(uint64_t nDeadline, unsigned nIntervalMs) {
    int64_t nWait = -1;
    if (nDeadline != 0) {
        const uint64_t nNow = MonotonicMs();
        nWait = nNow >= nDeadline ? 0 : static_cast<int64_t>(nDeadline - nNow);
    }
    if (nIntervalMs != 0) nWait = nWait < 0 ? nIntervalMs : std::min<int64_t>(nWait, nIntervalMs);
    return static_cast<int>(nWait);
}

// 1 ready, 0 time-out, -1 error; a signal counts as ready so that the caller looks again.
int WaitFor(int nFd, short nEvents, int nWaitMs) {
    if (nWaitMs == 0) return 0;
    pollfd pfd{nFd, nEvents, 0};
    const int n = poll(&pfd, 1, nWaitMs);
    if (n < 0) return errno == EINTR ? 1 : -1;
    return n;
}

}  // namespace

bool CSerialPort::Open(const std::string& strDevicePath) {
    Close();
    const int nFd = open(strDevicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0) return false;
    if (ioctl(nFd, TIOCEXCL) != 0 || !MakeRaw(nFd)) {
        close(nFd);
        return false;
    }
    m_nHandle = nFd;
    return true;
}

long CSerialPort::Write(const void* pData, size_t nLength) {
    if (!IsOpen()) return -1;
    const int nFd = static_cast<int>(m_nHandle);
    const uint64_t nDeadline =
        Deadline(m_timeouts.nWriteTotalMultiplierMs, m_timeouts.nWriteTotalConstantMs, nLength);
    const char* p = static_cast<const char*>(pData);
    size_t nDone = 0;
    while (nDone < nLength) {
        const ssize_t n = write(nFd, p + nDone, nLength - nDone);
        if (n > 0) {
            nDone += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return -1;
        const int nWait = WaitFor(nFd, POLLOUT, PollWait(nDeadline, 0));
        if (nWait < 0) return -1;
        if (nWait == 0) break;
    }
    return static_cast<long>(nDone);
}

long CSerialPort::Read(void* pBuffer, size_t nLength) {
    if (!IsOpen()) return -1;
    const int nFd = static_cast<int>(m_nHandle);
    const uint64_t nDeadline =
        Deadline(m_timeouts.nReadTotalMultiplierMs, m_timeouts.nReadTotalConstantMs, nLength);
    char* p = static_cast<char*>(pBuffer);
    size_t nDone = 0;
    while (nDone < nLength) {
        // The interval counts only once the first byte is in.
        const unsigned nInterval = nDone > 0 ? m_timeouts.nReadIntervalMs : 0;
        const int nWait = WaitFor(nFd, POLLIN, PollWait(nDeadline, nInterval));
        if (nWait < 0) return -1;
        if (nWait == 0) break;
        const ssize_t n = read(nFd, p + nDone, nLength - nDone);
        if (n > 0) {
            nDone += static_cast<size_t>(n);
        } else if (n == 0 || errno == EIO) {
            // The other end hung up: what came so far is the answer.
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            return -1;
        }
    }
    return static_cast<long>(nDone);
}

void CSerialPort::Close() {
    if (!IsOpen()) return;
    const int nFd = static_cast<int>(m_nHandle);
    ioctl(nFd, TIOCNXCL);
    close(nFd);
    m_nHandle = kClosed;
}

}  // namespace platform
