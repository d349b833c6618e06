#include "bridge/web_dialogs.h"

// The kind is one of the board's own words, never outside text: it needs no escaping.
std::string MakeDialogEvent(uint64_t nId, const std::string& strKind,
                            const std::string& strDialogJson) {
    return "{\"type\":\"dialog\",\"id\":" + std::to_string(nId) + ",\"kind\":\"" + strKind +
           "\",\"dialog\":" + strDialogJson + "}";
}

CDialogAnswer CDialogBoard::Ask(const std::string& strKind, const std::string& strDialogJson) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bClosed) return {};
    const uint64_t nId = m_nNextId++;
    CQuestion& question = m_open[nId];
    question.strEventJson = MakeDialogEvent(nId, strKind, strDialogJson);
    question.strKind = strKind;
    m_channel.Publish(question.strEventJson);
    m_answered.wait(lock, [&] { return m_open.at(nId).bAnswered; });
    const CDialogAnswer answer = m_open.at(nId).answer;
    m_open.erase(nId);
    return answer;
}

bool CDialogBoard::Answer(uint64_t nId, const CDialogAnswer& answer) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_open.find(nId);
        if (it == m_open.end() || it->second.bAnswered) return false;
        it->second.bAnswered = true;
        it->second.answer = answer;
    }
    m_answered.notify_all();
    m_channel.Publish("{\"type\":\"dialog-closed\",\"id\":" + std::to_string(nId) + "}");
    return true;
}

std::string CDialogBoard::PendingJson() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string json = "[";
    for (const auto& [nId, question] : m_open) {
        if (question.bAnswered) continue;
        if (json.size() > 1) json += ",";
        json += question.strEventJson;
    }
    return json + "]";
}

bool CDialogBoard::HasOpenDialogOfKind(const std::string& strKind) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& [nId, question] : m_open) {
        if (!question.bAnswered && question.strKind == strKind) return true;
    }
    return false;
}

void CDialogBoard::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
        for (auto& [nId, question] : m_open) question.bAnswered = true;
    }
    m_answered.notify_all();
}
