#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "platform/file_system.h"
#include "tnl/service/port_links.h"

namespace tnl_service {

namespace {

bool IsLink(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool Exists(const std::string& path, bool bFollowLink) {
    struct stat info;
    return (bFollowLink ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) == 0;
}

// The link is made under a temporary name and renamed over the old one, so that the name never
// points nowhere while it is replaced.
bool ReplaceLink(const std::string& path, const std::string& target) {
    std::string strTemp = path + ".new";
    unlink(strTemp.c_str());
    if (symlink(target.c_str(), strTemp.c_str()) != 0) return false;
    if (rename(strTemp.c_str(), path.c_str()) == 0) return true;
    unlink(strTemp.c_str());
    return false;
}

}  // namespace

CPortLinks::CPortLinks(std::string portsDir, std::string recordPath)
    : m_strPortsDir(std::move(portsDir)), m_strRecordPath(std::move(recordPath)) {}

bool CPortLinks::Link(const std::string& name, const std::string& target) {
    std::string strPath = platform::JoinPath(m_strPortsDir, name);
    bool bStale = IsLink(strPath) && !Exists(strPath, true);
    if (m_links.count(strPath) != 0 || (!bStale && Exists(strPath, false))) return false;
    if (!platform::DirectoryExists(m_strPortsDir) && !platform::CreateDirectories(m_strPortsDir)) {
        return false;
    }
    // Recorded first: a service killed between the two steps still has its link removed.
    m_links.insert(strPath);
    WriteRecord();
    if (ReplaceLink(strPath, target)) return true;
    m_links.erase(strPath);
    WriteRecord();
    return false;
}

void CPortLinks::Unlink(const std::string& name) {
    std::string strPath = platform::JoinPath(m_strPortsDir, name);
    if (m_links.erase(strPath) == 0) return;
    if (IsLink(strPath)) unlink(strPath.c_str());
    WriteRecord();
}

void CPortLinks::WriteRecord() const {
    if (m_links.empty()) {
        platform::RemoveFile(m_strRecordPath);
        return;
    }
    std::string strText;
    for (const std::string& path : m_links) strText += path + "\n";
    platform::WriteFileAtomic(m_strRecordPath, strText);
}

void RemoveRecordedLinks(const std::string& recordPath) {
    std::string strText;
    if (!platform::ReadFileBytes(recordPath, &strText)) return;
    std::istringstream lines(strText);
    for (std::string strPath; std::getline(lines, strPath);) {
        if (IsLink(strPath)) unlink(strPath.c_str());
    }
    platform::RemoveFile(recordPath);
}

}  // namespace tnl_service
