// One command and its answer: the command's word and argument, the box state, the reply messages
// (with the fault of the command applied) and, for transfers, the bytes that follow the command.
#pragma once

#include <mutex>
#include <string>

#include "tools/box_sim/sim_channel.h"
#include "tools/box_sim/sim_core.h"

class CSimExchange {
  public:
    CSimExchange(CSimBoxCore& core, CSimChannel& channel, const std::string& line,
                 const CSimScript& script);

    const std::string& Word() const { return m_strWord; }
    // The text after the word and one blank, without the line end ("" when there is none).
    const std::string& Argument() const { return m_strArgument; }

    std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(m_core.mutex); }
    CSimBoxState& State() { return m_core.state; }  // only under Lock()

    // Sends one reply message as the command's fault says (delayed, in pieces, or cut off with
    // the link closing). False when the link is gone.
    bool Reply(const std::string& message);
    // Transfer bytes that follow the command; false when the link ended or stayed silent too long.
    bool ReadData(size_t n, std::string* data);

    SimFault Fault() const { return m_script.eFault; }
    // The fault's byte count, or half of nWhole when the fault was given none.
    size_t FaultBytes(size_t nWhole) const;

    void Disconnect() { m_channel.Disconnect(); }
    bool IsOpen() const { return m_channel.IsOpen(); }
    void Restart() { m_core.Restart(); }

    // Answers with the scripted chunks, nGapMs apart.
    void SendScripted();

  private:
    bool SendInPieces(const std::string& message, size_t nPiece);

    CSimBoxCore& m_core;
    CSimChannel& m_channel;
    CSimScript m_script;
    std::string m_strWord;
    std::string m_strArgument;
    bool m_bReplied = false;
};

// Answers one command line: the fault or scripted reply set for it, else the command's handler.
void RunSimLine(CSimBoxCore& core, CSimChannel& channel, const std::string& line);
// Serves commands on the channel until it ends or the sim stops.
void ServeSimChannel(CSimBoxCore& core, CSimChannel& channel);
