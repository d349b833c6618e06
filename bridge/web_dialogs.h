// Questions put to the user through the shell page: message boxes and file dialogs. The asking
// thread waits until the user answers in the page (or the host stops), as it would at a modal
// dialog. A shell page that is reloaded finds the open questions again (Pending).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "bridge/event_channel.h"

struct CDialogAnswer {
    bool bAccepted = false;  // OK, Yes, or a file chosen
    std::string strPath;     // the chosen file
};

class CDialogBoard {
public:
    explicit CDialogBoard(CEventChannel& channel) : m_channel(channel) {}

    // Publishes the question (its kind, "message" or "file", and a JSON object of its fields)
    // and waits for its answer. Not accepted at once when the board is closed.
    CDialogAnswer Ask(const std::string& strKind, const std::string& strDialogJson);
    // Answers an open question; false when there is none with that number.
    bool Answer(uint64_t nId, const CDialogAnswer& answer);
    // The open questions as a JSON array of dialog events.
    std::string PendingJson() const;
    // Whether a question of that kind is open.
    bool HasOpenDialogOfKind(const std::string& strKind) const;
    // Answers everything No / Cancel, now and from now on.
    void Close();

private:
    struct CQuestion {
        std::string strEventJson;
        std::string strKind;
        bool bAnswered = false;
        CDialogAnswer answer;
    };

    CEventChannel& m_channel;
    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    std::map<uint64_t, CQuestion> m_open;
    uint64_t m_nNextId = 1;
    bool m_bClosed = false;
};

// {"type":"dialog","id":N,"kind":"<kind>","dialog":<dialog>}
std::string MakeDialogEvent(uint64_t nId, const std::string& strKind,
                            const std::string& strDialogJson);
