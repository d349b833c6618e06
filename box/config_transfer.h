// Writing the box's configuration or cloud project to it, and reading either back. A write
// stops the box first and restarts it afterwards; a read leaves the box running.
#pragma once

#include <string>

#include "box/box_channel.h"
#include "box/file_transfer.h"
#include "support/operation_report.h"

inline constexpr const char* kBoxSetupFile = "setup.xml";
inline constexpr const char* kBoxProjectFile = "cloudprj.zcpj";

enum class ConfigWriteOutcome {
    kBoxNotStopped,  // nothing was sent and the box was not restarted
    kSent,
    kFailed,  // the file could not be read or the transfer failed; the box was restarted
};

// Stops the box, sends the local file under the box-side name, restarts the box and waits
// the restart pause.
ConfigWriteOutcome DownloadConfigToBox(CBoxChannel& channel, IOperationReport& report,
                                       const std::string& strBoxFile,
                                       const std::string& strLocalPath);

// Fetches the box-side file into the local path and reports the outcome in one line.
UploadOutcome UploadConfigFromBox(CBoxChannel& channel, IOperationReport& report,
                                  const std::string& strBoxFile, const std::string& strPassword,
                                  const std::string& strLocalPath);

// The outcomes' names in the command line's results: "success", "wrong-password", ...; "sent",
// "box-not-stopped", "failed".
const char* UploadOutcomeName(UploadOutcome eOutcome);
const char* ConfigWriteOutcomeName(ConfigWriteOutcome eOutcome);
