#include "tests/box_ops/box_ops_fixture.h"

namespace {

const char* const kKeys[] = {
    "alert_title", "detect_zelvo_failed", "light_cmd_suc", "light_cmd_err", "get_maccode_failed",
    "get_maccode_success", "set_mode_success", "set_mode_failed", "reboot_zelvo",
    "stopping_zelvo", "stop_zelvo_failed", "detecting_network", "detect_network_failed",
    "ethernet_ip_address", "ethernet_mac_address", "connect_server_time",
    "connect_server_failed", "updating_time", "update_tz_success", "update_tz_same",
    "update_time_success", "update_time_failed", "is_update_tz", "download_config_file",
    "download_project_file", "download_success", "download_failed", "upload_config_file",
    "upload_config_success", "upload_password_invalid", "upload_prohibit", "upload_config_failed"};

std::string BracketedStrings() {
    std::string text = "string_format=%.1f/%.1f/%.1f ms\n";
    for (const char* key : kKeys) text += std::string(key) + "=[" + key + "]\n";
    return text;
}

}  // namespace

BoxOpsTest::BoxOpsTest(int nThird) {
    dir.WriteStrings(BracketedStrings());
    dir.WriteFile("BOXType.hmi",
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BOXSet>\n"
                  "  <box Type=\"ZELVO-E\" SerialNo=\"ZE\" Kernel=\"1\" func=\"1\"/>\n"
                  "  <box Type=\"ZELVO-4G\" SerialNo=\"ZG\" Kernel=\"3\" func=\"7\"/>\n"
                  "  <box Type=\"ZELVO-4G\" SerialNo=\"second\" Kernel=\"9\" func=\"0\"/>\n"
                  "</BOXSet>\n");
    dir.WriteFile("html/Default.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<KorixSet>\n  <Ethernet Ip=\"1.2.3.4\"/>\n</KorixSet>\n");
    CSimBoxConfig config;
    config.nRestartMs = 0;  // the operations restart the box; the next one must reach it
    strSimAddress = StartOnFreeLoopbackAddress(sim, config, nThird);
    EXPECT_FALSE(strSimAddress.empty());
    auto lock = sim.Lock();
    sim.State().strType = "ZELVO-4G";
    sim.State().strSerial = "ZG-0042";
    sim.State().nMode = 2;
}

std::vector<std::string> BoxOpsTest::TakeCommands() {
    std::vector<std::string> commands = sim.Commands();
    sim.ClearRecord();
    return commands;
}
