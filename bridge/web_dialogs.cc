#include "bridge/web_dialogs.h"

#include <cjson/cJSON.h>

namespace {

constexpr const char* kFormKind = "form";

const char* FormControlKind(EFormControl eKind) {
    switch (eKind) {
        case EFormControl::kGroup: return "group";
        case EFormControl::kText: return "text";
        case EFormControl::kButton: return "button";
        case EFormControl::kList: return "list";
        case EFormControl::kCheck: return "check";
        case EFormControl::kTable: return "table";
    }
    return "text";
}

cJSON* StringArray(const std::vector<std::string>& values) {
    cJSON* array = cJSON_CreateArray();
    for (const std::string& value : values) cJSON_AddItemToArray(array, cJSON_CreateString(value.c_str()));
    return array;
}

cJSON* TableColumns(const CFormControl& control) {
    cJSON* columns = cJSON_CreateArray();
    for (size_t i = 0; i < control.columns.size(); ++i) {
        cJSON* column = cJSON_CreateObject();
        cJSON_AddStringToObject(column, "heading", control.columns[i].c_str());
        cJSON_AddNumberToObject(column, "width", i < control.widths.size() ? control.widths[i] : 0);
        cJSON_AddItemToArray(columns, column);
    }
    return columns;
}

cJSON* FormControlJson(const CFormControl& control) {
    cJSON* item = cJSON_CreateObject();
    cJSON_AddStringToObject(item, "id", control.strId.c_str());
    cJSON_AddStringToObject(item, "kind", FormControlKind(control.eKind));
    cJSON_AddStringToObject(item, "caption", control.strCaption.c_str());
    cJSON_AddBoolToObject(item, "enabled", control.bEnabled);
    cJSON_AddBoolToObject(item, "checked", control.bChecked);
    cJSON_AddItemToObject(item, "items", StringArray(control.items));
    cJSON_AddItemToObject(item, "columns", TableColumns(control));
    cJSON* rows = cJSON_CreateArray();
    for (const auto& row : control.rows) cJSON_AddItemToArray(rows, StringArray(row));
    cJSON_AddItemToObject(item, "rows", rows);
    cJSON_AddNumberToObject(item, "selected", control.nSelected);
    return item;
}

}  // namespace

// The kind is one of the board's own words, never outside text: it needs no escaping.
std::string MakeDialogEvent(uint64_t nId, const std::string& strKind,
                            const std::string& strDialogJson) {
    return "{\"type\":\"dialog\",\"id\":" + std::to_string(nId) + ",\"kind\":\"" + strKind +
           "\",\"dialog\":" + strDialogJson + "}";
}

std::string MakeFormJson(const CFormView& view) {
    cJSON* form = cJSON_CreateObject();
    cJSON_AddStringToObject(form, "title", view.strTitle.c_str());
    cJSON* controls = cJSON_AddArrayToObject(form, "controls");
    for (const CFormControl& control : view.controls) {
        cJSON_AddItemToArray(controls, FormControlJson(control));
    }
    char* text = cJSON_PrintUnformatted(form);
    cJSON_Delete(form);
    std::string json = text != nullptr ? text : "{}";
    cJSON_free(text);
    return json;
}

// Called with the lock held.
uint64_t CDialogBoard::Publish(const std::string& strKind, const std::string& strDialogJson) {
    const uint64_t nId = m_nNextId++;
    CQuestion& question = m_open[nId];
    question.strEventJson = MakeDialogEvent(nId, strKind, strDialogJson);
    question.strKind = strKind;
    m_channel.Publish(question.strEventJson);
    return nId;
}

CDialogAnswer CDialogBoard::Ask(const std::string& strKind, const std::string& strDialogJson) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_bClosed) return {};
    const uint64_t nId = Publish(strKind, strDialogJson);
    m_answered.wait(lock, [&] { return m_open.at(nId).bAnswered; });
    const CDialogAnswer answer = m_open.at(nId).answer;
    m_open.erase(nId);
    return answer;
}

bool CDialogBoard::Answer(uint64_t nId, const CDialogAnswer& answer) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_open.find(nId);
        if (it == m_open.end() || it->second.bAnswered || it->second.strKind == kFormKind) {
            return false;
        }
        it->second.bAnswered = true;
        it->second.answer = answer;
    }
    m_answered.notify_all();
    m_channel.Publish("{\"type\":\"dialog-closed\",\"id\":" + std::to_string(nId) + "}");
    return true;
}

uint64_t CDialogBoard::OpenForm(const std::string& strFormJson) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bClosed ? 0 : Publish(kFormKind, strFormJson);
}

void CDialogBoard::ShowForm(uint64_t nId, const std::string& strFormJson) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_open.find(nId);
    if (m_bClosed || it == m_open.end()) return;
    it->second.strEventJson = MakeDialogEvent(nId, kFormKind, strFormJson);
    m_channel.Publish(it->second.strEventJson);
}

bool CDialogBoard::PostFormAction(uint64_t nId, const CFormAction& action) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_open.find(nId);
        if (m_bClosed || it == m_open.end() || it->second.strKind != kFormKind) return false;
        it->second.actions.push_back(action);
    }
    m_answered.notify_all();
    return true;
}

bool CDialogBoard::NextFormAction(uint64_t nId, CFormAction* pAction) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto ready = [&] {
        auto it = m_open.find(nId);
        return m_bClosed || it == m_open.end() || !it->second.actions.empty();
    };
    m_answered.wait(lock, ready);
    return TakeLocked(nId, pAction) > 0;
}

int CDialogBoard::TakeFormAction(uint64_t nId, CFormAction* pAction) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return TakeLocked(nId, pAction);
}

int CDialogBoard::TakeLocked(uint64_t nId, CFormAction* pAction) {
    auto it = m_open.find(nId);
    if (m_bClosed || it == m_open.end()) return -1;
    if (it->second.actions.empty()) return 0;
    *pAction = it->second.actions.front();
    it->second.actions.pop_front();
    return 1;
}

void CDialogBoard::CloseForm(uint64_t nId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_open.erase(nId) == 0) return;
    m_channel.Publish("{\"type\":\"dialog-closed\",\"id\":" + std::to_string(nId) + "}");
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
