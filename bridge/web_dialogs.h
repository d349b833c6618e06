// Questions put to the user through the shell page: message boxes, file and folder dialogs, and
// modal forms. The asking thread waits until the user answers in the page (or the host stops),
// as it would at a modal dialog. A shell page that is reloaded finds the open questions and
// forms again (Pending); forms nest, and the shell shows the newest on top.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "bridge/event_channel.h"
#include "support/user_dialogs.h"

struct CDialogAnswer {
    bool bAccepted = false;  // OK, Yes, or a file or folder chosen
    std::string strPath;     // the chosen file or folder
};

// What the user did on a form: a control and its value (see IFormModel::OnFormAction).
struct CFormAction {
    std::string strControl;
    std::string strValue;
};

class CDialogBoard {
public:
    explicit CDialogBoard(CEventChannel& channel) : m_channel(channel) {}

    // Publishes the question (its kind, "message", "file" or "folder", and a JSON object of its
    // fields) and waits for its answer. Not accepted at once when the board is closed.
    CDialogAnswer Ask(const std::string& strKind, const std::string& strDialogJson);
    // Answers an open question; false when there is none with that number.
    bool Answer(uint64_t nId, const CDialogAnswer& answer);

    // Publishes a form (kind "form"); its number, 0 when the board is closed.
    uint64_t OpenForm(const std::string& strFormJson);
    // Publishes the form again as it is now, under the same number.
    void ShowForm(uint64_t nId, const std::string& strFormJson);
    // Queues an action from the page; false when no form has that number.
    bool PostFormAction(uint64_t nId, const CFormAction& action);
    // Waits for the form's next action; false once the board is closed.
    bool NextFormAction(uint64_t nId, CFormAction* pAction);
    // Takes the form's next action without waiting: 1 taken, 0 none yet, -1 the board is
    // closed or the form gone.
    int TakeFormAction(uint64_t nId, CFormAction* pAction);
    // Takes the form away from the page.
    void CloseForm(uint64_t nId);

    // The open questions and forms as a JSON array of dialog events, oldest first.
    std::string PendingJson() const;
    // Whether a question of that kind is open.
    bool HasOpenDialogOfKind(const std::string& strKind) const;
    // Answers everything No / Cancel and ends every form's wait, now and from now on.
    void Close();

private:
    // TakeFormAction with m_mutex held.
    int TakeLocked(uint64_t nId, CFormAction* pAction);

    struct CQuestion {
        std::string strEventJson;
        std::string strKind;
        bool bAnswered = false;
        CDialogAnswer answer;
        std::deque<CFormAction> actions;  // a form's actions not yet taken
    };

    uint64_t Publish(const std::string& strKind, const std::string& strDialogJson);

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

// The form as the shell draws it: {"title":..., "controls":[{"id", "kind" (group, text,
// button, list, check, table), "caption", "enabled", "checked", "items", "columns" [{"heading",
// "width"}], "rows", "selected"}]}.
std::string MakeFormJson(const CFormView& view);
