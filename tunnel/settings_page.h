// The virtual port settings page: the virtual port feature switch, the COM port name, removing
// the service on close, the browser, the server profile, the panel download settings and the
// certificate import, shown as a modal form.
#pragma once

#include "support/user_dialogs.h"

// The certificate group's import: true when a new package was installed, which closes the page.
class ICertificateImport {
public:
    virtual ~ICertificateImport() = default;
    virtual bool ImportCertificate(IUserDialogs& dialogs) = 0;
};

// Runs the page until the user closes it.
void RunVirtualPortSettingsPage(IUserDialogs& dialogs, ICertificateImport& certificates);
