// Serial ports and HID devices without the hardware: failures stay clean, and the report
// transfer runs over a stand-in for a device (a socket pair here, an overlapped pipe on Windows).
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "platform/file_system.h"
#include "platform/hid_device.h"
#include "platform/serial_port.h"

namespace platform {
namespace {

// Two connected handles that move whole reports, as a device and its driver would.
bool MakeReportPair(HidHandle* pOurs, HidHandle* pDevice) {
#ifdef _WIN32
    const wchar_t szName[] = L"\\\\.\\pipe\\zelvo-hid-test";
    const HANDLE hServer = CreateNamedPipeW(
        szName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 4096, 4096, 0, nullptr);
    const HANDLE hClient = CreateFileW(szName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (hServer == INVALID_HANDLE_VALUE || hClient == INVALID_HANDLE_VALUE) return false;
    *pOurs = _open_osfhandle(reinterpret_cast<intptr_t>(hClient), _O_BINARY);
    *pDevice = _open_osfhandle(reinterpret_cast<intptr_t>(hServer), _O_BINARY);
#else
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) return false;
    *pOurs = fds[0];
    *pDevice = fds[1];
#endif
    return true;
}

TEST(DeviceTest, SerialPortsThatAreNoneDoNotOpen) {
    const std::string strDir = MakeTempDirectory("zelvo_serial_");
    ASSERT_TRUE(WriteFileAtomic(JoinPath(strDir, "plain"), "data"));
    CSerialPort port;
    for (const std::string& path : {JoinPath(strDir, "missing"), JoinPath(strDir, "plain"),
                                   std::string("COM250")}) {
        EXPECT_FALSE(port.Open(path)) << path;
        EXPECT_FALSE(port.IsOpen()) << path;
    }
    char c = 'x';
    EXPECT_EQ(port.Write(&c, 1), -1);
    EXPECT_EQ(port.Read(&c, 1), -1);
    port.Close();
    RemoveDirectoryTree(strDir);
}

TEST(DeviceTest, HidScanAndOpenFailuresAreClean) {
    for (const CHidDeviceInfo& info : EnumerateHidDevices()) {
        EXPECT_FALSE(info.strDevicePath.empty());
    }
    EXPECT_EQ(OpenHidDevice("/nonexistent/hidraw99", false), kInvalidHidHandle);
    EXPECT_EQ(OpenHidDevice("\\\\?\\hid#none", true), kInvalidHidHandle);
    unsigned char report[8] = {};
    EXPECT_EQ(WriteHidReport(kInvalidHidHandle, report, sizeof(report), 10), -1);
    EXPECT_EQ(ReadHidReport(kInvalidHidHandle, report, sizeof(report), 10), -1);
    CloseHidDevice(kInvalidHidHandle);
}

TEST(DeviceTest, ReportsMoveWithinTheirTimeOutAndAGoneDeviceIsAnError) {
    HidHandle ours = kInvalidHidHandle, device = kInvalidHidHandle;
    ASSERT_TRUE(MakeReportPair(&ours, &device));
    // The open function a test hands in is the one used, until it is taken back.
    SetHidOpenFunction([&](const std::string&, bool) { return ours; });
    EXPECT_EQ(OpenHidDevice("any", true), ours);
    SetHidOpenFunction({});
    EXPECT_EQ(OpenHidDevice("any", true), kInvalidHidHandle);

    unsigned char report[65];
    for (size_t i = 0; i < sizeof(report); ++i) report[i] = static_cast<unsigned char>(i * 3);
    EXPECT_EQ(ReadHidReport(ours, report, sizeof(report), 20), 0) << "nothing came";
    ASSERT_EQ(WriteHidReport(ours, report, sizeof(report), 1000), 65);
    unsigned char received[128] = {};
    ASSERT_EQ(ReadHidReport(device, received, sizeof(received), 1000), 65);
    EXPECT_EQ(std::string(received, received + 65), std::string(report, report + 65));
    ASSERT_EQ(WriteHidReport(device, report, 9, 1000), 9);
    EXPECT_EQ(ReadHidReport(ours, received, sizeof(received), 1000), 9);

    CloseHidDevice(device);
    EXPECT_EQ(ReadHidReport(ours, received, sizeof(received), 1000), -1);
    CloseHidDevice(ours);
}

}  // namespace
}  // namespace platform
