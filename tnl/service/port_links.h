// The links the service makes in the ports folder ("com5" -> /dev/pts/3), and the record of them
// in the run folder, so that a service that was killed leaves nothing behind after the next
// start.
#pragma once

#include <set>
#include <string>

namespace tnl_service {

class CPortLinks {
  public:
    CPortLinks(std::string portsDir, std::string recordPath);
    CPortLinks(const CPortLinks&) = delete;
    CPortLinks& operator=(const CPortLinks&) = delete;

    // Points portsDir/name at target, creating the ports folder when missing. A link of that name
    // left by an earlier run (its target gone) is replaced; anything else of that name, a link
    // this service made for another port included, is kept and the call fails.
    bool Link(const std::string& name, const std::string& target);
    void Unlink(const std::string& name);

  private:
    void WriteRecord() const;

    std::string m_strPortsDir;
    std::string m_strRecordPath;
    std::set<std::string> m_links;  // full paths of the links made and not yet removed
};

// Removes every link named in the record file (links only, nothing else) and the record.
void RemoveRecordedLinks(const std::string& recordPath);

}  // namespace tnl_service
