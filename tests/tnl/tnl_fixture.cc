#include "tests/tnl/tnl_fixture.h"

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "tests/tnl/tnl_system.h"

namespace tnl_test {

namespace {

template <typename Function>
bool Resolve(void* pHandle, const char* szName, Function* function, std::string* error) {
    *function = reinterpret_cast<Function>(FindFunction(pHandle, szName));
    if (*function == nullptr) *error = std::string("missing ") + szName;
    return *function != nullptr;
}

BSTR MakeBstr(const std::string& text) {
    std::u16string wide = platform::Utf8ToUtf16(text);
    return SysAllocStringLen(tnl::AsOleText(wide.data()), static_cast<UINT>(wide.size()));
}

}  // namespace

bool CTnlApi::Load(std::string* error) {
    Unload();
    pHandle = LoadLibraryFile(TNL_LIBRARY_PATH, error);
    if (pHandle == nullptr) return false;
#define TNL_RESOLVE(name) &&Resolve(pHandle, "tnl_" #name, &name, error)
    return true TNL_FUNCTIONS(TNL_RESOLVE);
#undef TNL_RESOLVE
}

void CTnlApi::Unload() {
    if (pHandle == nullptr) return;
    DisconnectService();
    UnloadLibraryFile(pHandle);
    pHandle = nullptr;
}

CVariant::CVariant(const std::string& text) {
    VariantInit(&m_value);
    m_value.vt = VT_BSTR;
    m_value.bstrVal = MakeBstr(text);
}

CVariant::CVariant(VARTYPE vt, int64_t nValue) {
    VariantInit(&m_value);
    m_value.vt = vt;
    // Every integer member starts at the same place: on a little-endian machine the narrower
    // types read the low bytes of the 64-bit value.
    m_value.llVal = nValue;
}

void CVariant::MakeEntries(const std::vector<std::vector<std::string>>& entries, VARIANT* out) {
    VariantClear(out);
    SAFEARRAY* psaOuter = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(entries.size()));
    for (LONG i = 0; i < static_cast<LONG>(entries.size()); ++i) {
        VARIANT entry;
        VariantInit(&entry);
        entry.vt = VT_ARRAY | VT_VARIANT;
        entry.parray = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(entries[i].size()));
        for (LONG j = 0; j < static_cast<LONG>(entries[i].size()); ++j) {
            CVariant text(entries[i][j]);
            SafeArrayPutElement(entry.parray, &j, text.Get());
        }
        SafeArrayPutElement(psaOuter, &i, &entry);
        VariantClear(&entry);
    }
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = psaOuter;
}

std::string Utf8(BSTR bstr) {
    return bstr == nullptr
               ? std::string()
               : platform::Utf16ToUtf8(std::u16string_view(tnl::AsUtf16(bstr), SysStringLen(bstr)));
}

std::vector<int> Ids(const VARIANT& list) {
    std::vector<int> ids;
    if (list.vt != (VT_ARRAY | VT_VARIANT)) return ids;
    const auto* pIds = static_cast<const VARIANT*>(list.parray->pvData);
    for (ULONG i = 0; i < list.parray->rgsabound[0].cElements; ++i) {
        EXPECT_EQ(pIds[i].vt, VT_I4);
        ids.push_back(pIds[i].lVal);
    }
    return ids;
}

std::vector<std::vector<std::string>> Entries(const VARIANT& value) {
    std::vector<std::vector<std::string>> entries;
    if (value.vt != (VT_ARRAY | VT_VARIANT)) return entries;
    const auto* pEntries = static_cast<const VARIANT*>(value.parray->pvData);
    for (ULONG i = 0; i < value.parray->rgsabound[0].cElements; ++i) {
        EXPECT_EQ(pEntries[i].vt, VT_ARRAY | VT_VARIANT);
        const auto* pValues = static_cast<const VARIANT*>(pEntries[i].parray->pvData);
        std::vector<std::string> texts;
        for (ULONG j = 0; j < pEntries[i].parray->rgsabound[0].cElements; ++j) {
            EXPECT_EQ(pValues[j].vt, VT_BSTR);
            texts.push_back(Utf8(pValues[j].bstrVal));
        }
        entries.push_back(texts);
    }
    return entries;
}

void TnlTest::SetUp() {
    m_strRunDir = platform::MakeTempDirectory("tnl_test");
    ASSERT_FALSE(m_strRunDir.empty());
    SetRunDirVariable(m_strRunDir);
    m_pService = std::make_unique<tnl_fake::CFakeTunnelService>(m_strRunDir);
    ASSERT_TRUE(m_pService->Start());
    std::string strError;
    ASSERT_TRUE(api.Load(&strError)) << strError;
}

void TnlTest::TearDown() {
    api.Unload();
    if (m_pService) m_pService->Stop();
    platform::RemoveDirectoryTree(m_strRunDir);
}

bool TnlTest::Connect() {
    CVariant server(".");
    return api.ConnectService(server.Get()) != 0;
}

int TnlTest::Create(int nType) {
    int nId = -1;
    EXPECT_TRUE(api.CreateConnection(nType, &nId)) << LastError();
    return nId;
}

bool TnlTest::SetValue(int nId, const std::string& name, CVariant* value) {
    CVariant nameValue(name);
    return api.SetParam(nId, nameValue.Get(), value->Get()) != 0;
}

bool TnlTest::SetText(int nId, const std::string& name, const std::string& text) {
    CVariant value(text);
    return SetValue(nId, name, &value);
}

bool TnlTest::SetInt(int nId, const std::string& name, VARTYPE vt, int64_t nValue) {
    CVariant value(vt, nValue);
    return SetValue(nId, name, &value);
}

bool TnlTest::SetEntries(int nId, const std::string& name,
                         const std::vector<std::vector<std::string>>& entries) {
    CVariant value;
    CVariant::MakeEntries(entries, value.Get());
    return SetValue(nId, name, &value);
}

std::string TnlTest::GetText(int nId, const std::string& name) {
    CVariant nameValue(name), value;
    if (!api.GetParam(nId, nameValue.Get(), value.Get()))
        return "<failed " + std::to_string(LastError()) + ">";
    EXPECT_EQ((*value).vt, VT_BSTR);
    return (*value).vt == VT_BSTR ? Utf8((*value).bstrVal) : std::string();
}

int TnlTest::GetInt(int nId, const std::string& name) {
    CVariant nameValue(name), value;
    EXPECT_TRUE(api.GetParam(nId, nameValue.Get(), value.Get())) << LastError();
    EXPECT_EQ((*value).vt, VT_I4);
    return (*value).lVal;
}

int TnlTest::AddClient(const std::string& name) {
    int nId = Create(TNL_TYPE_CLIENT);
    EXPECT_TRUE(SetText(nId, "name", name)) << LastError();
    EXPECT_TRUE(api.AddConnectionService(nId)) << LastError();
    return nId;
}

std::vector<int> TnlTest::List() {
    CVariant list;
    EXPECT_TRUE(api.GetConnectionsList(list.Get())) << LastError();
    return Ids(*list);
}

std::string TnlTest::SendDirect(const std::string& request) {
    std::string strReply;
    EXPECT_TRUE(tnl_fake::SendServiceRequest(m_strRunDir, request, &strReply));
    return strReply;
}

std::string TnlTest::LastRequest() {
    std::vector<std::string> requests = m_pService->Requests();
    return requests.empty() ? std::string() : requests.back();
}

}  // namespace tnl_test
