// Test fixture for the tunnel library: a fake tunnel service in a temporary run directory, and a
// fresh copy of the library (libtnl.so, tnl.dll) loaded for each test (so ids start at 0), called
// through its C header.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tnl/service/fake_tunnel_service.h"
#include "tnl/tnl.h"

namespace tnl_test {

#define TNL_FUNCTIONS(X)    \
    X(GetLastError)         \
    X(ConnectService)       \
    X(DisconnectService)    \
    X(GetConnectionsList)   \
    X(CreateConnection)     \
    X(DeleteAllConnections) \
    X(DeleteConnection)     \
    X(AddConnectionService) \
    X(SetParam)             \
    X(GetParam)             \
    X(ApplyConnection)      \
    X(UpdateConnectionStatus)

// The library's exported functions, resolved from one load of the library.
struct CTnlApi {
#define TNL_MEMBER(name) decltype(&tnl_##name) name = nullptr;
    TNL_FUNCTIONS(TNL_MEMBER)
#undef TNL_MEMBER

    // Loads a fresh copy; false (with a message) when the library or a function is missing.
    bool Load(std::string* error);
    void Unload();
    ~CTnlApi() {
        Unload();
    }

    void* pHandle = nullptr;
};

// A VARIANT that clears itself.
class CVariant {
  public:
    CVariant() { VariantInit(&m_value); }
    explicit CVariant(const std::string& text);
    CVariant(VARTYPE vt, int64_t nValue);
    ~CVariant() { VariantClear(&m_value); }
    CVariant(const CVariant&) = delete;
    CVariant& operator=(const CVariant&) = delete;

    VARIANT* Get() { return &m_value; }
    const VARIANT& operator*() const { return m_value; }
    // A VT_ARRAY|VT_VARIANT value of host entries, each a list of texts.
    static void MakeEntries(const std::vector<std::vector<std::string>>& entries, VARIANT* out);

  private:
    VARIANT m_value;
};

std::string Utf8(BSTR bstr);
// The ids of a tnl_GetConnectionsList result (empty for VT_EMPTY).
std::vector<int> Ids(const VARIANT& list);
// The texts of a tnl_GetParam array result.
std::vector<std::vector<std::string>> Entries(const VARIANT& value);

class TnlTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    tnl_fake::CFakeTunnelService& Service() { return *m_pService; }
    const std::string& RunDir() const { return m_strRunDir; }
    uint32_t LastError() { return api.GetLastError(); }

    bool Connect();
    int Create(int nType);
    bool SetValue(int nId, const std::string& name, CVariant* value);
    bool SetText(int nId, const std::string& name, const std::string& text);
    bool SetInt(int nId, const std::string& name, VARTYPE vt, int64_t nValue);
    bool SetEntries(int nId, const std::string& name,
                    const std::vector<std::vector<std::string>>& entries);
    std::string GetText(int nId, const std::string& name);
    int GetInt(int nId, const std::string& name);
    // A client record named `name`, added to the service.
    int AddClient(const std::string& name);
    std::vector<int> List();
    // Sends a request to the fake straight from the test, as another client would.
    std::string SendDirect(const std::string& request);
    std::string LastRequest();

    CTnlApi api;

  private:
    std::string m_strRunDir;
    std::unique_ptr<tnl_fake::CFakeTunnelService> m_pService;
};

}  // namespace tnl_test
