// The customer edition's branding, carried by the certificate package VirCert.ce in the program
// directory: the company, box and tool names, the display names of box models, the icons, the
// home page's address, and the names of the program's shortcuts and of its launcher entry.
#pragma once

#include <functional>
#include <string>

class IUserDialogs;

inline constexpr char kPackageFileName[] = "VirCert.ce";
// Branding texts and page addresses hold at most this many UTF-16 units.
inline constexpr size_t kBrandingTextUnits = 259;

// Asks for a package file to install; false when none was chosen.
using ChoosePackageFn = std::function<bool(std::string* pPath)>;

// The file dialog that asks for a package ("set_cert_file").
bool AskForPackageFile(IUserDialogs& dialogs, std::string* pPath);

// Start-up: reads the installed package and applies its branding. When the package does not
// read, choosePackage is asked for one, which is checked and installed, and g_bRestartAfterImport
// is set. 0: go on (also when oem is 0: then nothing is read or written); -1: no readable
// package, the program must end.
int ImportBranding(const ChoosePackageFn& choosePackage);

// Installs the file as the package after checking that it reads: 0, or the reader's negative
// code, in which case the installed package is left as it was.
int InstallPackage(const std::string& strChosen);

// The settings page's Import button: asks for a package and installs it. On success the icons
// are removed (the next start writes them from the new package), g_bRestartAfterImport is set and
// true is returned (the page then closes). A cancel or a bad file returns false and clears the
// flag; the installed package stays.
bool ImportCertificateCommand(IUserDialogs& dialogs);

// The program entry that a restart starts: the program directory's entry named after the tool
// name, else the running program file itself.
std::string BrandedProgramPath();

// Cuts UTF-8 text so that its UTF-16 form has at most nUnits units, on a character boundary.
std::string CutToUtf16Units(const std::string& text, size_t nUnits);
