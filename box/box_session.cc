#include "box/box_session.h"

#include "platform/file_system.h"
#include "platform/program_dir.h"

CBoxSession::CBoxSession(CBoxTiming timing, CTcpLinkTiming tcpTiming)
    : m_channel(timing), m_tcpLink(tcpTiming) {}

int CBoxSession::OpenUsbLink() {
    m_usbDevice.Close();
    if (!m_usbDevice.FindDevice()) return 0;
    const bool bOpened = m_usbDevice.Open();
    m_channel.SetActiveLink(&m_usbDevice);
    return bOpened ? 1 : 0;
}

int CBoxSession::OpenTcpLink(const std::string& strAddress) {
    const bool bOpened = m_tcpLink.Open(m_nBoxPort, strAddress);
    m_channel.SetActiveLink(&m_tcpLink);
    return bOpened ? 1 : 0;
}

bool CBoxSession::LoadBoxTypes() {
    return m_boxTypes.LoadFile(platform::JoinPath(platform::GetProgramDirectory(), kBoxTypeFile));
}

CBoxIdentity CBoxSession::Identify(int nPreviousMode) {
    return IdentifyBox(m_channel, nPreviousMode);
}

void CBoxSession::LookupBoxRecord(const std::string& strHmiType) {
    LookupBoxType(m_boxTypes, strHmiType, &m_record);
}
