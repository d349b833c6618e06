// The virtual port settings page: the virtual port feature switch, the COM port name, removing
// the service on close, the browser, the server profile, the panel download settings and the
// certificate import, shown as a modal form.
#pragma once

#include "support/user_dialogs.h"

// The certificate group's import. The program fills it in once the certificate package can be
// imported; until then the button does nothing.
class ICertificateImport {
public:
    virtual ~ICertificateImport() = default;
    virtual void ImportCertificate(IUserDialogs& dialogs) = 0;
};

class CNoCertificateImport final : public ICertificateImport {
public:
    void ImportCertificate(IUserDialogs&) override {}
};

// Runs the page until the user closes it.
void RunVirtualPortSettingsPage(IUserDialogs& dialogs, ICertificateImport& certificates);
