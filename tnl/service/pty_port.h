// The pseudo-terminal behind one virtual COM port. The service holds the master side; a program
// opens the slave through the port's link. Whether some program has it open is read from the
// master (a hang-up while nobody has the slave open), and a watch on the slave device tells when
// it is opened again, so that nothing has to be polled on a timer.
#pragma once

#include <cstddef>
#include <string>

namespace tnl_service {

class CPtyPort {
  public:
    CPtyPort() = default;
    CPtyPort(const CPtyPort&) = delete;
    CPtyPort& operator=(const CPtyPort&) = delete;
    ~CPtyPort();

    // A new pseudo-terminal in raw mode, not open by any program yet. False when it cannot be
    // made.
    bool Open();
    void Close();

    int MasterFd() const { return m_nMaster; }
    int WatchFd() const { return m_nWatch; }
    const std::string& SlavePath() const { return m_strSlavePath; }
    // True while some program has the slave open.
    bool IsOpenByProgram() const { return m_bOpenByProgram; }

    // The watch reported an open or close of the slave: takes the events and looks again.
    void OnWatchEvent();
    // The master reported a hang-up. The report may be older than an open that came after it
    // (both can arrive in one round of the loop), so the master is asked again.
    void OnHangUp() { m_bOpenByProgram = IsSlaveOpen(); }

    // Non-blocking transfers on the master: bytes moved, 0 when nothing can move now, -1 on an
    // error.
    long Read(char* pBuffer, size_t nSize);
    long Write(const char* pData, size_t nSize);

  private:
    int m_nMaster = -1;
    int m_nWatch = -1;
    std::string m_strSlavePath;
    bool m_bOpenByProgram = false;

    // True while some program has the slave open: the master shows no hang-up.
    bool IsSlaveOpen() const;
};

}  // namespace tnl_service
