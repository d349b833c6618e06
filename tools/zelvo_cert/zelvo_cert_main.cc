// zelvo-cert: makes and inspects certificate packages (the edition files "VirCert.ce").
//
//   zelvo-cert pack DIR -o FILE.ce [--domain NAME]   the regular files of DIR, by name, as items
//   zelvo-cert list FILE.ce                          name, size and CRC-32 of each item
//   zelvo-cert extract FILE.ce DIR                   each item written to DIR/name
//
// Without --domain the header holds no domain and the payload is keyed with the program's
// default domain, which every edition of the program reads.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "package/cert_file.h"
#include "package/package_keys.h"
#include "package/package_writer.h"
#include "platform/console.h"
#include "platform/file_system.h"

namespace {

void PrintUsage() {
    std::fprintf(stderr,
                 "usage: zelvo-cert pack DIR -o FILE.ce [--domain NAME]\n"
                 "       zelvo-cert list FILE.ce\n"
                 "       zelvo-cert extract FILE.ce DIR\n");
}

int Fail(const std::string& strWhat) {
    std::fprintf(stderr, "zelvo-cert: %s\n", strWhat.c_str());
    return 1;
}

// The regular files of the folder as items, sorted by name.
bool CollectItems(const std::string& strDir, std::vector<CPackageItem>* pItems) {
    std::vector<std::string> names;
    if (!platform::ListDirectory(strDir, &names)) return false;
    std::sort(names.begin(), names.end());
    for (const std::string& strName : names) {
        const std::string strPath = platform::JoinPath(strDir, strName);
        if (!platform::FileExists(strPath)) continue;
        CPackageItem item{strName, {}};
        if (!platform::ReadFileBytes(strPath, &item.strData)) return false;
        pItems->push_back(std::move(item));
    }
    return true;
}

int Pack(const std::string& strDir, const std::string& strOut, const std::string& strDomain) {
    std::vector<CPackageItem> items;
    if (!CollectItems(strDir, &items)) return Fail("cannot read the folder " + strDir);
    if (items.empty()) return Fail("the folder " + strDir + " holds no files");
    CPackageKeying keying;
    keying.strDomain = strDomain;
    std::string strPackage;
    const int nResult = BuildPackage(keying, items, &strPackage);
    if (nResult == -1) return Fail("the domain name is longer than 254 bytes");
    if (nResult != 0) return Fail("cannot seal the package");
    if (!platform::WriteFileAtomic(strOut, strPackage)) return Fail("cannot write " + strOut);
    std::printf("%s: %zu items, %zu bytes\n", strOut.c_str(), items.size(), strPackage.size());
    return 0;
}

// Reads a package with the program's own reader, its debugging lines kept off the output.
int ReadPackage(const std::string& strPath, CertFile* pCert) {
    const int nSaved = platform::SilenceStandardOutput();
    const int nResult = pCert->Read(strPath);
    platform::RestoreStandardOutput(nSaved);
    if (nResult == 0) return 0;
    const char* pszWhy = nResult == -1   ? "cannot be read"
                         : nResult == -6 ? "has an empty payload"
                                         : "is damaged or keyed for another domain";
    return Fail(strPath + " " + pszWhy + " (" + std::to_string(nResult) + ")");
}

int List(const std::string& strPath) {
    CertFile cert(ProductWebDomain());
    if (ReadPackage(strPath, &cert) != 0) return 1;
    for (const CertFile::CItem& item : cert.Items()) {
        std::printf("%s\t%" PRIu64 "\t%08" PRIx64 "\n", item.strName.c_str(), item.ullFileSize,
                    item.ulCrc32);
    }
    return 0;
}

int Extract(const std::string& strPath, const std::string& strDir) {
    CertFile cert(ProductWebDomain());
    if (ReadPackage(strPath, &cert) != 0) return 1;
    if (!platform::CreateDirectories(strDir)) return Fail("cannot make the folder " + strDir);
    std::set<std::string> written;
    for (const CertFile::CItem& item : cert.Items()) {
        // A name must stay inside the target folder.
        if (!platform::IsPlainFileName(item.strName)) {
            return Fail("unsafe item name \"" + item.strName + "\"");
        }
        if (!written.insert(item.strName).second) continue;  // the first of a name wins
        const std::string strOut = platform::JoinPath(strDir, item.strName);
        if (!platform::WriteFileAtomic(strOut, item.strData)) return Fail("cannot write " + strOut);
    }
    std::printf("%zu items extracted to %s\n", written.size(), strDir.c_str());
    return 0;
}

// pack DIR -o FILE [--domain NAME], the options in any order after the command.
int RunPack(const std::vector<std::string>& args) {
    std::string strDir, strOut, strDomain;
    for (size_t i = 1; i < args.size(); ++i) {
        if ((args[i] == "-o" || args[i] == "--domain") && i + 1 < args.size()) {
            std::string& strValue = args[i] == "-o" ? strOut : strDomain;
            strValue = args[++i];
        } else if (strDir.empty() && args[i].rfind('-', 0) != 0) {
            strDir = args[i];
        } else {
            PrintUsage();
            return 2;
        }
    }
    if (strDir.empty() || strOut.empty()) {
        PrintUsage();
        return 2;
    }
    return Pack(strDir, strOut, strDomain);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "pack") return RunPack(args);
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    if (args.size() == 3 && args[0] == "extract") return Extract(args[1], args[2]);
    PrintUsage();
    return 2;
}
