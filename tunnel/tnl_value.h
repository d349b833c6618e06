// Values handed to and read from the tunnel library, and the few calls every tunnel operation
// makes with them. The library's link is not opened or closed here except by
// ConnectTunnelService.
#pragma once

#include <string>
#include <vector>

#include "tnl/oleauto.h"

// A VARIANT that frees what it holds.
class CTnlValue {
public:
    CTnlValue() { VariantInit(&m_value); }
    ~CTnlValue() { VariantClear(&m_value); }
    CTnlValue(CTnlValue&& other) noexcept;
    CTnlValue& operator=(CTnlValue&& other) noexcept;
    CTnlValue(const CTnlValue&) = delete;
    CTnlValue& operator=(const CTnlValue&) = delete;

    static CTnlValue Text(const std::string& strText);            // VT_BSTR
    static CTnlValue Number(VARTYPE vt, int nValue);              // VT_INT or VT_I4
    // VT_ARRAY of VT_VARIANT, each entry itself such an array of VT_BSTR texts.
    static CTnlValue TextArrays(const std::vector<std::vector<std::string>>& entries);

    VARIANT* Get() { return &m_value; }
    const VARIANT& operator*() const { return m_value; }
    // The text of a VT_BSTR value; empty for another type.
    std::string AsText() const;

private:
    VARIANT m_value;
};

// tnl_ConnectService with "." (this machine).
bool ConnectTunnelService();
// The ids of tnl_GetConnectionsList in index order; empty when the call fails or lists none.
std::vector<int> ListConnectionIds();
// A text parameter of a record; false when the read fails or the value is no text.
bool ReadTextParam(int nId, const std::string& strName, std::string* pValue);
// The "port.name" of every listed connection, in list order, up to the first failing read.
std::vector<std::string> ListedPortNames();
