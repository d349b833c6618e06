// The box command line: the box operations for scripts and fleets, without pages or questions.
//   zelvo box [--address A | --usb] [--program-dir DIR] [--cert FILE] [--json] [--yes]
//             OPERATION [ARGS]
// Operations: identify, versions, mode [N], light, network-test, sync-time, stop, restart,
// read-config FILE, write-config FILE, read-project FILE [--password P], write-project FILE,
// update-firmware, discover [--probe] [--address A]. Transfers draw their progress on standard
// error when it is a terminal. The edition's certificate package (VirCert.ce, or FILE installed
// as it) must read when branding is on. Exit status: 0 success, 1 the operation failed or no
// readable package, 2 usage.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "box/box_channel.h"
#include "box/tcp_link.h"

// Timing a test may shorten; the defaults are the program's.
struct CBoxCliTiming {
    CBoxTiming box;
    CTcpLinkTiming tcp;
};

// Runs one box operation; args are the words after "box". Output goes to out, usage errors to
// err.
int RunBoxCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              const CBoxCliTiming& timing = {});
