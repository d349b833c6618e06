// The port's notion of "some program has it open" against what the pseudo-terminal says, also
// when a hang-up report is older than the open that followed it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "tnl/service/pty_port.h"

namespace {

int OpenSlave(const tnl_service::CPtyPort& port) {
    return open(port.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
}

TEST(PtyPort, AHangUpReportCountsOnlyWhileNobodyHasTheSlaveOpen) {
    tnl_service::CPtyPort port;
    ASSERT_TRUE(port.Open());
    EXPECT_FALSE(port.IsOpenByProgram());

    int nFirst = OpenSlave(port);
    ASSERT_GE(nFirst, 0);
    port.OnWatchEvent();
    EXPECT_TRUE(port.IsOpenByProgram());

    // A program closes the port and the next opens it before the loop hears of the hang-up.
    close(nFirst);
    int nSecond = OpenSlave(port);
    ASSERT_GE(nSecond, 0);
    port.OnHangUp();
    EXPECT_TRUE(port.IsOpenByProgram());

    close(nSecond);
    port.OnHangUp();
    EXPECT_FALSE(port.IsOpenByProgram());
}

}  // namespace
