#include "tools/box_sim/sim_exchange.h"

#include "tools/box_sim/sim_commands.h"

namespace {

constexpr unsigned kSplitGapMs = 20;
// A transfer whose bytes stop coming for this long is given up, so that a USB stream (which
// outlives the program's link passes) gets back to reading commands.
constexpr unsigned kTransferIdleMs = 3000;

std::string WithoutLineEnd(const std::string& line) {
    size_t nEnd = line.size();
    if (nEnd > 0 && line[nEnd - 1] == '\n') --nEnd;
    if (nEnd > 0 && line[nEnd - 1] == '\r') --nEnd;
    return line.substr(0, nEnd);
}

}  // namespace

CSimExchange::CSimExchange(CSimBoxCore& core, CSimChannel& channel, const std::string& line,
                           const CSimScript& script)
    : m_core(core), m_channel(channel), m_script(script) {
    std::string strText = WithoutLineEnd(line);
    size_t nBlank = strText.find(' ');
    m_strWord = strText.substr(0, nBlank);
    if (nBlank != std::string::npos) m_strArgument = strText.substr(nBlank + 1);
}

size_t CSimExchange::FaultBytes(size_t nWhole) const {
    return m_script.nFaultParam != 0 ? m_script.nFaultParam : nWhole / 2;
}

bool CSimExchange::Reply(const std::string& message) {
    bool bFirst = !m_bReplied;
    m_bReplied = true;
    switch (m_script.eFault) {
        case SimFault::kSlow:
            return m_core.SleepFor(m_script.nFaultParam) && m_channel.SendMessage(message);
        case SimFault::kSplit:
            return SendInPieces(message, m_script.nFaultParam != 0 ? m_script.nFaultParam : 1);
        case SimFault::kCloseMidReply:
            if (!bFirst) return false;
            m_channel.SendMessage(message.substr(0, FaultBytes(message.size())));
            m_channel.Disconnect();
            return false;
        default:
            return m_channel.SendMessage(message);
    }
}

bool CSimExchange::SendInPieces(const std::string& message, size_t nPiece) {
    for (size_t nOffset = 0; nOffset < message.size(); nOffset += nPiece) {
        if (nOffset > 0 && !m_core.SleepFor(kSplitGapMs)) return false;
        if (!m_channel.SendMessage(message.substr(nOffset, nPiece))) return false;
    }
    return true;
}

bool CSimExchange::ReadData(size_t n, std::string* data) {
    return m_channel.ReadData(n, data, kTransferIdleMs);
}

void CSimExchange::SendScripted() {
    for (size_t i = 0; i < m_script.chunks.size(); ++i) {
        if (i > 0 && !m_core.SleepFor(m_script.nGapMs)) return;
        if (!Reply(m_script.chunks[i])) return;
    }
}

void RunSimLine(CSimBoxCore& core, CSimChannel& channel, const std::string& line) {
    CSimScript script = core.ScriptFor(line);
    CSimExchange exchange(core, channel, line, script);
    if (script.eFault == SimFault::kNoAnswer) return;
    if (script.eFault == SimFault::kError) {
        exchange.Reply("ERROR\r");
    } else if (script.bHasReply) {
        exchange.SendScripted();
    } else {
        RunSimCommand(exchange);
    }
}

void ServeSimChannel(CSimBoxCore& core, CSimChannel& channel) {
    std::string strLine;
    while (!core.bStopping && channel.ReadCommand(&strLine)) {
        core.RecordCommand(strLine);
        RunSimLine(core, channel, strLine);
    }
}
