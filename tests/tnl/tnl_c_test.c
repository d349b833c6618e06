/* The library used from C, as the program uses it, with the control program `tnl_service`
 * installing, enabling, clearing and disabling the fake service.
 *   tnl_c_test PATH_TO_TNL_SERVICE */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "tnl/tnl.h"

static int g_nFailures = 0;

#define CHECK(condition)                                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "%s:%d: failed: %s (last error %u)\n", __FILE__, __LINE__, #condition, \
                    (unsigned)tnl_GetLastError());                                                 \
            ++g_nFailures;                                                                         \
        }                                                                                          \
    } while (0)

static const char* g_szControl;

static int RunControl(const char* szArguments) {
    char szCommand[1024];
    snprintf(szCommand, sizeof(szCommand), "'%s' %s", g_szControl, szArguments);
    return system(szCommand);
}

static VARIANT Text(const OLECHAR* szText) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(szText);
    return value;
}

static BOOL Connect(void) {
    VARIANT server = Text(u".");
    BOOL bResult = tnl_ConnectService(&server);
    VariantClear(&server);
    return bResult;
}

static BOOL SetText(int nId, const OLECHAR* szName, const OLECHAR* szValue) {
    VARIANT name = Text(szName), value = Text(szValue);
    BOOL bResult = tnl_SetParam(nId, &name, &value);
    VariantClear(&name);
    VariantClear(&value);
    return bResult;
}

static int CountListed(void) {
    VARIANT list;
    VariantInit(&list);
    CHECK(tnl_GetConnectionsList(&list));
    int nCount = list.vt == (VT_ARRAY | VT_VARIANT) ? (int)list.parray->rgsabound[0].cElements : 0;
    VariantClear(&list);
    return nCount;
}

/* Creates the program's connection the way the program does: client, parameters, add. */
static void AddPortConnection(void) {
    int nId = -1;
    CHECK(tnl_CreateConnection(TNL_TYPE_CLIENT, &nId));
    CHECK(nId == 0);
    CHECK(SetText(nId, u"name", u"ZELVO_COM"));
    CHECK(SetText(nId, u"port.name", u"COM5"));
    VARIANT name = Text(u"protocol.reconnect.timeout"), value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = 1000;
    CHECK(tnl_SetParam(nId, &name, &value));
    CHECK(tnl_AddConnectionService(nId));

    VariantClear(&name);
    name = Text(u"network.host");
    CHECK(tnl_GetParam(nId, &name, &value));
    CHECK(value.vt == (VT_ARRAY | VT_VARIANT) && value.parray->rgsabound[0].cElements == 1);
    VariantClear(&value);
    VariantClear(&name);
    name = Text(u"type");
    CHECK(tnl_GetParam(nId, &name, &value) && value.vt == VT_I4 && value.lVal == TNL_TYPE_CLIENT);
    VariantClear(&name);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PATH_TO_TNL_SERVICE\n", argv[0]);
        return 2;
    }
    g_szControl = argv[1];
    char szRunDir[] = "/tmp/tnl_c_testXXXXXX";
    if (mkdtemp(szRunDir) == NULL) return 1;
    setenv("TNL_RUN_DIR", szRunDir, 1);

    CHECK(!Connect());
    CHECK(RunControl("enable") != 0); /* not installed yet */
    CHECK(RunControl("install") == 0);
    CHECK(RunControl("enable") == 0);
    CHECK(Connect());
    AddPortConnection();
    CHECK(CountListed() == 1);
    CHECK(tnl_DisconnectService());

    /* The control program clears the program's connection while the library is disconnected. */
    CHECK(RunControl("delete ZELVO_COM") == 0);
    CHECK(Connect());
    CHECK(CountListed() == 0);
    CHECK(tnl_DisconnectService());

    CHECK(RunControl("disable") == 0);
    CHECK(!Connect());
    CHECK(tnl_GetLastError() != 0);
    CHECK(RunControl("uninstall") == 0);
    CHECK(RunControl("enable") != 0);
    CHECK(tnl_DisconnectService());
    CHECK(tnl_GetLastError() == 0);

    rmdir(szRunDir);
    if (g_nFailures == 0) printf("tnl C interface: all checks passed\n");
    return g_nFailures == 0 ? 0 : 1;
}
