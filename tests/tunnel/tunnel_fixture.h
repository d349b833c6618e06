// A tunnel test's world: a program directory with a string file whose texts are their keys and
// a control program that records its arguments, a run folder for the fake tunnel service, a
// ports folder and an empty devices folder.
// The control program sees the ports folder as $ZELVO_PORTS_DIR. Waits are cut to nothing.
// These are Linux's: on Windows every test of the fixture is skipped.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/temp_program_dir.h"
#include "tnl/service/fake_tunnel_service.h"
#include "tunnel/tunnel_context.h"

class CRecordingTunnelReport final : public ITunnelReport {
public:
    void ShowStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void ShowErrorText(const std::string& text) override { errorTexts.push_back(text); }
    std::vector<std::string> statusTexts;
    std::vector<std::string> errorTexts;
};

class VirComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    bool StartFakeService();
    tnl_fake::CFakeTunnelService& Service() { return *m_pService; }
    // The control program's runs so far, one line of arguments each.
    std::vector<std::string> ControlRuns() const;
    void RemoveControlProgram() const;
    // ports/comN -> target (a character device makes the port present).
    void LinkPort(const std::string& strEntry, const std::string& strTarget = "/dev/null") const;
    // Shell lines the control program runs for that command, as the service's own work.
    void OnControlCommand(const std::string& strCommand, const std::string& strScript) const;
    void MakeDevice(const std::string& strName) const;  // an entry of the devices folder
    // A connection added to the service through the library.
    void AddConnection(const std::string& strName, const std::string& strPortName) const;

    CTempProgramDir m_dir;
    std::string m_strRunDir, m_strPortsDir, m_strDevicesDir;

private:
    std::unique_ptr<tnl_fake::CFakeTunnelService> m_pService;
};
