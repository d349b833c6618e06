#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include "tnl/service/pty_port.h"

namespace tnl_service {

namespace {

// The slave in raw mode: bytes pass unchanged in both directions. The setting stays with the
// terminal while the master is open. Opening and closing it once also puts the master into the
// hung-up state that marks "nobody has the port open".
bool MakeRaw(const std::string& slavePath) {
    int nSlave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (nSlave < 0) return false;
    termios settings;
    bool bOk = tcgetattr(nSlave, &settings) == 0;
    if (bOk) {
        cfmakeraw(&settings);
        bOk = tcsetattr(nSlave, TCSANOW, &settings) == 0;
    }
    close(nSlave);
    return bOk;
}

long Transferred(ssize_t nResult) {
    if (nResult >= 0) return static_cast<long>(nResult);
    return errno == EAGAIN || errno == EINTR ? 0 : -1;
}

}  // namespace

CPtyPort::~CPtyPort() {
    Close();
}

bool CPtyPort::Open() {
    Close();
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const char* szSlave = nullptr;
    if (m_nMaster >= 0 && grantpt(m_nMaster) == 0 && unlockpt(m_nMaster) == 0) {
        szSlave = ptsname(m_nMaster);
    }
    if (szSlave != nullptr) m_strSlavePath = szSlave;
    m_nWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    bool bOk = szSlave != nullptr && m_nWatch >= 0 && MakeRaw(m_strSlavePath) &&
               inotify_add_watch(m_nWatch, m_strSlavePath.c_str(), IN_OPEN | IN_CLOSE) >= 0;
    if (!bOk) Close();
    m_bOpenByProgram = false;
    return bOk;
}

void CPtyPort::Close() {
    if (m_nWatch >= 0) close(m_nWatch);
    if (m_nMaster >= 0) close(m_nMaster);
    m_nWatch = m_nMaster = -1;
    m_strSlavePath.clear();
    m_bOpenByProgram = false;
}

void CPtyPort::OnWatchEvent() {
    char szEvents[4096];
    while (read(m_nWatch, szEvents, sizeof(szEvents)) > 0) {
    }
    m_bOpenByProgram = IsSlaveOpen();
}

bool CPtyPort::IsSlaveOpen() const {
    pollfd master = {m_nMaster, 0, 0};
    return poll(&master, 1, 0) == 0;
}

long CPtyPort::Read(char* pBuffer, size_t nSize) {
    return Transferred(read(m_nMaster, pBuffer, nSize));
}

long CPtyPort::Write(const char* pData, size_t nSize) {
    return Transferred(write(m_nMaster, pData, nSize));
}

}  // namespace tnl_service
