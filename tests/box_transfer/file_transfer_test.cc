// The transfer protocol: exact bytes and chunking on a scripted link, and every outcome against
// the simulated box over loopback TCP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box/file_transfer.h"
#include "box/tcp_link.h"
#include "platform/file_system.h"
#include "tests/fakes/recording_report.h"
#include "tests/fakes/scripted_box_link.h"
#include "tools/box_sim/box_sim.h"

namespace {

using Lines = std::vector<std::string>;

const CBoxTiming kFastTiming{0, 1, 0};

std::string Pattern(size_t nSize) {
    std::string data(nSize, '\0');
    for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    return data;
}

class TransferFiles {
public:
    TransferFiles() : m_strDir(platform::MakeTempDirectory("zelvo-transfer")) {}
    ~TransferFiles() { platform::RemoveDirectoryTree(m_strDir); }
    std::string Path(const std::string& name) const { return platform::JoinPath(m_strDir, name); }
    std::string Write(const std::string& name, const std::string& data) const {
        EXPECT_TRUE(platform::WriteFileAtomic(Path(name), data));
        return Path(name);
    }
    std::string Read(const std::string& name) const {
        std::string data;
        platform::ReadFileBytes(Path(name), &data);
        return data;
    }

private:
    std::string m_strDir;
};

TEST(TransferHeaderTest, EncodesAndDecodesTheWireLayout) {
    const std::string strMd5(32, 'a');
    const auto bytes = EncodeTransferHeader({44, strMd5, 0x01020304});
    const std::string wire(bytes.begin(), bytes.end());
    EXPECT_EQ(wire, std::string("\x2c\0\0\0", 4) + strMd5 + std::string(4, '\0') + "\x04\x03\x02\x01");

    std::string received = wire;
    received[36] = 'X';  // the MD5 text never runs into the reserved field
    TransferHeader header;
    ASSERT_TRUE(DecodeTransferHeader(received.data(), received.size(), &header));
    EXPECT_EQ(header.strMd5, strMd5);
    EXPECT_EQ(header.nFileSize, 0x01020304u);
    EXPECT_FALSE(DecodeTransferHeader(received.data(), 43, &header));
}

TEST(TransferHeaderTest, UploadStatusReadsOnlyOneAndTwoAsRefusals) {
    const struct {
        const char* text;
        int nStatus;
    } cases[] = {{"UpLoadStat:1", 1}, {"UpLoadStat:2", 2}, {"UpLoadStat:0", 0},
                 {"UpLoadStat:7", 7}, {"garbage text", 0}, {"UpLoadStat:", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseUploadStatus(c.text, strlen(c.text)), c.nStatus) << c.text;
    }
}

// A download on a scripted link: what goes out, in which pieces.
TEST(DownloadChunkTest, FileIsSentInWholeChunksAfterCommandAndHeader) {
    const struct {
        size_t nSize;
        std::vector<size_t> dataSends;
    } cases[] = {{0, {}}, {102400, {102400}}, {102401, {102400, 1}}};
    TransferFiles files;
    for (const auto& c : cases) {
        const std::string path = files.Write("f", Pattern(c.nSize));
        platform::CFileStream file;
        ASSERT_TRUE(file.Open(path, platform::CFileStream::Mode::kReadExisting));
        CScriptedBoxLink link;
        link.receives = {"OK\r", "okok!\r", "okok!\r", "okokok!"};
        CBoxChannel channel(kFastTiming);
        channel.SetActiveLink(&link);
        CRecordingReport report;
        EXPECT_TRUE(DownloadFileToBox(channel, report, "setup.xml", file, "md5text"));
        std::vector<size_t> expected = {strlen("Download setup.xml\r"), 44};
        expected.insert(expected.end(), c.dataSends.begin(), c.dataSends.end());
        EXPECT_EQ(link.sendSizes, expected) << c.nSize;
        EXPECT_EQ(link.strSent.substr(0, 19), "Download setup.xml\r");
        EXPECT_TRUE(link.strSent.substr(19 + 44) == Pattern(c.nSize));
        EXPECT_EQ(report.Lines(), Lines{"L:download_success"});
        const std::pair<uint64_t, uint64_t> end(c.nSize, c.nSize);
        if (c.nSize > 0) {
            EXPECT_EQ(report.progress.back(), end);
        }
    }
}

TEST(DownloadChunkTest, AcknowledgementReadingRules) {
    const struct {
        const char* name;
        std::deque<std::string> answers;
        bool bOk;
    } cases[] = {
        {"ERROR then ack", {"ERROR\r", "okok!\r", "okok!\r", "END"}, true},
        {"other text does not count", {"what?\r", "okok!\r", "okok!\r", "okokok!"}, true},
        {"second ERROR", {"ERROR\r", "ERROR\r"}, false},
        {"timeout", {"okok!\r", "okok!\r", "timeout"}, false},
        {"xyz then done", {"okok!\r", "okok!\r", "xyz", "okokok!"}, true},
        {"ten empty receives", {"okok!\r", "", "", "", "", "", "", "", "", "", ""}, false},
        {"nine empty then ack", {"", "", "", "", "", "", "", "", "", "okok!\r", "okok!\r", "END"},
         true},
    };
    for (const auto& c : cases) {
        CScriptedBoxLink link;
        link.receives = c.answers;
        CBoxChannel channel(kFastTiming);
        channel.SetActiveLink(&link);
        const bool bOk = WaitTransferAck(channel) && WaitTransferAck(channel) &&
                         WaitTransferEnd(channel);
        EXPECT_EQ(bOk, c.bOk) << c.name;
    }
}

TEST(DownloadChunkTest, CommandThatWouldBeCutIsNotSent) {
    TransferFiles files;
    platform::CFileStream file;
    ASSERT_TRUE(file.Open(files.Write("f", "x"), platform::CFileStream::Mode::kReadExisting));
    CScriptedBoxLink link;
    CBoxChannel channel(kFastTiming);
    channel.SetActiveLink(&link);
    CRecordingReport report;
    EXPECT_FALSE(DownloadFileToBox(channel, report, std::string(600, 'n'), file, ""));
    EXPECT_EQ(link.strSent, "");
    EXPECT_EQ(report.Lines(), Lines{"L:download_failed"});
}

// Short link time-outs let the failure cases end quickly.
class SimTransferTest : public ::testing::Test {
protected:
    explicit SimTransferTest(CTcpLinkTiming timing = {200, 200, 5})
        : link(timing), channel(kFastTiming) {
        CSimBoxConfig config;
        strAddress = StartOnFreeLoopbackAddress(sim, config, 81);
        EXPECT_FALSE(strAddress.empty());
        EXPECT_TRUE(link.Open(kBoxCommandPort, strAddress));
        channel.SetActiveLink(&link);
    }
    ~SimTransferTest() override { platform::SetFreeSpaceForTesting(-1); }

    bool Download(const std::string& data) {
        platform::CFileStream file;
        EXPECT_TRUE(file.Open(files.Write("local", data), platform::CFileStream::Mode::kReadExisting));
        return DownloadFileToBox(channel, report, "setup.xml", file, SimMd5Hex(data));
    }
    std::string BoxFile(const std::string& name) {
        auto lock = sim.Lock();
        return sim.State().files[name];
    }

    CSimBox sim;
    std::string strAddress;
    BoxTcpLink link;
    CBoxChannel channel;
    CRecordingReport report;
    TransferFiles files;
};

TEST_F(SimTransferTest, DownloadOutcomes) {
    const struct {
        const char* name;
        bool bReady;
        std::vector<std::string> answers;
        SimFault eFault;
        bool bOk;
    } cases[] = {
        {"plain", true, {}, SimFault::kNone, true},
        {"no OK goes on anyway", false, {}, SimFault::kNone, true},
        {"one ERROR", true, {"ERROR\r", "okok!\r", "okok!\r", "okokok!"}, SimFault::kNone, true},
        {"two ERROR", true, {"ERROR\r", "ERROR\r"}, SimFault::kNone, false},
        {"END", true, {"okok!\r", "okok!\r", "END"}, SimFault::kNone, true},
        {"timeout", true, {"okok!\r", "okok!\r", "timeout"}, SimFault::kNone, false},
        {"short data on the box", true, {}, SimFault::kShortData, false},
        {"connection closed", true, {}, SimFault::kCloseMidTransfer, false},
    };
    const std::string data = Pattern(300000);
    for (const auto& c : cases) {
        {
            auto lock = sim.Lock();
            sim.State().bDownloadReady = c.bReady;
            sim.State().downloadAnswers = c.answers;
            sim.State().files.clear();
        }
        sim.SetFault("Download", c.eFault);
        if (!link.IsOpen() || c.eFault == SimFault::kCloseMidTransfer) {
            link.Open(kBoxCommandPort, strAddress);
        }
        report = {};
        EXPECT_EQ(Download(data), c.bOk) << c.name;
        EXPECT_EQ(report.Lines(), Lines{c.bOk ? "L:download_success" : "L:download_failed"})
            << c.name;
        if (c.bOk && c.answers.empty()) {
            EXPECT_TRUE(BoxFile("setup.xml") == data) << c.name;
        }
        sim.SetFault("Download", SimFault::kNone);
    }
}

TEST_F(SimTransferTest, UploadOutcomesAndTheDeletionRule) {
    const std::string data = Pattern(250000);
    const struct {
        const char* name;
        const char* password;
        SimFault eFault;
        bool bUpperMd5;
        int64_t nFreeSpace;
        UploadOutcome eOutcome;
        bool bOldFileKept;  // else the file holds the data (success) or is gone
    } cases[] = {
        {"success", "pw", SimFault::kNone, false, -1, UploadOutcome::kSuccess, false},
        {"wrong password", "bad", SimFault::kNone, false, -1, UploadOutcome::kWrongPassword, true},
        {"short data", "pw", SimFault::kShortData, false, -1, UploadOutcome::kFailed, false},
        {"closed", "pw", SimFault::kCloseMidTransfer, false, -1, UploadOutcome::kFailed, false},
        {"upper-case MD5", "pw", SimFault::kNone, true, -1, UploadOutcome::kFailed, false},
        {"no room", "pw", SimFault::kNone, false, 1000, UploadOutcome::kFailed, true},
    };
    for (const auto& c : cases) {
        {
            auto lock = sim.Lock();
            sim.State().files["cloudprj.zcpj"] = data;
            sim.State().uploadPasswords["cloudprj.zcpj"] = "pw";
            sim.State().bUploadMd5UpperCase = c.bUpperMd5;
        }
        sim.SetFault("Upload", c.eFault);
        platform::SetFreeSpaceForTesting(c.nFreeSpace);
        link.Open(kBoxCommandPort, strAddress);  // a fresh connection: no bytes left from the last case
        files.Write("project", "older file");
        EXPECT_EQ(UploadFileFromBox(channel, report, "cloudprj.zcpj", c.password,
                                    files.Path("project")),
                  c.eOutcome)
            << c.name;
        const bool bExists = platform::FileExists(files.Path("project"));
        if (c.bOldFileKept) {
            EXPECT_EQ(files.Read("project"), "older file") << c.name;
        } else if (c.eOutcome == UploadOutcome::kSuccess) {
            EXPECT_TRUE(files.Read("project") == data) << c.name;
        } else {
            EXPECT_FALSE(bExists) << c.name;
        }
        sim.SetFault("Upload", SimFault::kNone);
    }
    EXPECT_EQ(sim.Commands().front(), "Upload cloudprj.zcpj pw\r");
}

TEST_F(SimTransferTest, NotAllowedAndEmptyPassword) {
    {
        auto lock = sim.Lock();
        sim.State().files["setup.xml"] = "<a/>";
        sim.State().uploadForbidden.insert("setup.xml");
    }
    EXPECT_EQ(UploadFileFromBox(channel, report, "setup.xml", "", files.Path("s")),
              UploadOutcome::kNotAllowed);
    EXPECT_EQ(sim.Commands(), Lines{"Upload setup.xml \r"});  // the blank stays
    EXPECT_FALSE(platform::FileExists(files.Path("s")));
}

// The box digests a file of several megabytes before its upload header goes out, which in an
// unoptimized build on a busy machine takes longer than the failure cases' time-outs.
class SimLargeTransferTest : public SimTransferTest {
protected:
    SimLargeTransferTest() : SimTransferTest({200, 10000, 5}) {}
};

TEST_F(SimLargeTransferTest, SeveralMegabytesBothWays) {
    const std::string data = Pattern(5 * 1024 * 1024 + 17);
    ASSERT_TRUE(Download(data));
    ASSERT_TRUE(BoxFile("setup.xml") == data);
    EXPECT_EQ(UploadFileFromBox(channel, report, "setup.xml", "", files.Path("back")),
              UploadOutcome::kSuccess);
    EXPECT_TRUE(files.Read("back") == data);
    ASSERT_FALSE(report.progress.empty());
    EXPECT_EQ(report.progress.front().first, 0u);
    EXPECT_LT(report.progress.size(), 200u);  // a few reports, not one per chunk
}

}  // namespace
