// The whole firmware update against the simulated box: stop, version check, confirmation,
// decryption, transfer and restart, and what is left in the "update" folder afterwards.
#include "box/firmware_update.h"

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <zlib.h>

#include "box/firmware_image.h"
#include "box/tcp_link.h"
#include "platform/file_system.h"
#include "tests/fakes/recording_report.h"
#include "tests/fakes/temp_program_dir.h"
#include "tools/box_sim/box_sim.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kPlain = "plain firmware image\n" + std::string(3000, '\x5a');

Lines Around(const Lines& middle) {
    Lines lines = {"L:stopping_zelvo", "L:detect_fireware"};
    lines.insert(lines.end(), middle.begin(), middle.end());
    lines.insert(lines.end(),
                 {"L:reboot_zelvo", "L:detect_zelvo_failed", "S:DisableOperate(true);"});
    return lines;
}

// Up.ibl with one element per (kernel, image, key, version, md5).
std::string UpdateList(const std::vector<Lines>& elements) {
    std::string text = "<UpdateInfo><ZELVOType SerialNo=\"ZG\">";
    for (const Lines& e : elements) {
        text += "<element Kernel=\"" + e[0] + "\" ImgName=\"" + e[1] +
                "\" DownName=\"system.img\" VerName=\"" + e[2] + "\" Ver=\"" + e[3] + "\" Md5=\"" +
                e[4] + "\"/>";
    }
    return text + "</ZELVOType></UpdateInfo>";
}

class FirmwareUpdateTest : public ::testing::Test {
  protected:
    FirmwareUpdateTest() {
        dir.WriteStrings(
            "detect_new_firmware=NEW\nis_update_firmware=[is_update_firmware]\n"
            "update_note=[update_note]\ndownload_file=[download_file]\n");
    }

    void StartSim(int nThird) {
        CSimBoxConfig config;
        config.nRestartMs = 0;
        strAddress = StartOnFreeLoopbackAddress(sim, config, nThird);
        ASSERT_FALSE(strAddress.empty());
    }

    // A fresh link to the box (a restart closes the last one) and a fresh report.
    void Connect() {
        report = CRecordingReport();
        ASSERT_TRUE(link.Open(sim.TcpPort(), strAddress));
        channel.SetActiveLink(&link);
    }

    // Stores the plain bytes encrypted as update/<name>.
    void AddImage(const std::string& strName, const std::string& strPlain) {
        dir.WriteFile("plain", strPlain);
        platform::CreateDirectories(dir.PathOf("update"));
        ASSERT_EQ(DecryptImageFile(dir.PathOf("plain"), kImageKey, dir.PathOf("update/" + strName)),
                  kDecryptOk);
    }

    CTempProgramDir dir;
    CSimBox sim;
    std::string strAddress;
    BoxTcpLink link;
    CBoxChannel channel{CBoxTiming{0, 0, 0}};
    CRecordingReport report;
};

bool Contains(const Lines& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(FirmwareUpdateTest, ChecksConfirmsSendsAndAlwaysRestarts) {
    StartSim(93);
    const std::string strMd5 = SimMd5Hex(kPlain);
    const std::string strSummary = "OSVER:V1.0.2-P:FS NEW V1.0.3-P:FS\n\n[is_update_firmware]";
    // One thing differs from a box that is offered the system image and says Yes.
    struct {
        std::string strChange;
        FirmwareOutcome eOutcome;
        Lines middle;  // lines between the check's start and the restart
    } const cases[] = {
        {"", FirmwareOutcome::kUpdated, {"R:[download_file]system.img", "L:download_success"}},
        {"answer No", FirmwareOutcome::kDeclined, {}},
        {"md5 mismatch",
         FirmwareOutcome::kImageFailed,
         {"R:[download_file]system.img", "L:md5_error"}},
        {"image missing",
         FirmwareOutcome::kImageFailed,
         {"R:[download_file]system.img", "L:open_src_file_failed"}},
        {"ARM9", FirmwareOutcome::kNoUpdateList, {"L:detect_soft_fireware_failed"}},
        {"GetAllVersion", FirmwareOutcome::kNoVersionReport, {"L:detect_fireware_failed"}},
        {"TerminateAll", FirmwareOutcome::kBoxNotStopped, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strChange);
        platform::RemoveDirectoryTree(dir.PathOf("update"));
        if (c.strChange != "image missing") AddImage("sys.img", kPlain);
        const std::string strListMd5 =
            c.strChange == "md5 mismatch" ? std::string(32, '0') : strMd5;
        dir.WriteFile("Up.ibl", UpdateList({{"A7", "sys.img", "OSVER:", "V1.0.3-P:FS", strListMd5},
                                            {"A7", "sys.img", "fsFLASHVER:", "V1.0.2-P:FS", "x"}}));
        sim.ClearReplies();
        if (c.strChange.rfind("Get", 0) == 0 || c.strChange.rfind("Term", 0) == 0) {
            sim.SetFault(c.strChange, SimFault::kError);
        }
        {
            auto lock = sim.Lock();
            sim.State().firmwareImages.clear();
            sim.State().files.clear();
        }
        sim.ClearRecord();
        Connect();
        report.bAnswerYes = c.strChange != "answer No";
        const CBoxTypeRecord boxType{7, "ZG", c.strChange == "ARM9" ? "ARM9" : "A7"};
        EXPECT_EQ(UpdateBoxFirmware(channel, report, boxType), c.eOutcome);
        const bool bStopped = c.eOutcome != FirmwareOutcome::kBoxNotStopped;
        const Lines notStopped = {"L:stopping_zelvo", "L:stop_zelvo_failed"};
        EXPECT_EQ(report.Lines(), bStopped ? Around(c.middle) : notStopped);
        Lines questions;
        if (c.eOutcome == FirmwareOutcome::kDeclined) questions = {strSummary};
        if (c.eOutcome == FirmwareOutcome::kUpdated ||
            c.eOutcome == FirmwareOutcome::kImageFailed) {
            questions = {strSummary, "[update_note]"};
        }
        EXPECT_EQ(report.questions, questions);

        const bool bSent = c.eOutcome == FirmwareOutcome::kUpdated;
        const Lines commands = sim.Commands();
        EXPECT_EQ(Contains(commands, "Download update\r"), bSent);
        EXPECT_EQ(Contains(commands, "reset\r"), bStopped);
        auto lock = sim.Lock();
        EXPECT_EQ(sim.State().firmwareImages, bSent ? Lines{"update"} : Lines{});
        if (bSent) {
            EXPECT_EQ(sim.State().files["update"], kPlain);
        }
        EXPECT_FALSE(dir.Exists("update/sys"));  // no decrypted image is left behind
    }
}

// A zip archive at the path with one entry.
void WriteZip(const std::string& strPath, const char* szEntry, const std::string& data) {
    zipFile zip = zipOpen(strPath.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    zipOpenNewFileInZip(zip, szEntry, nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                        Z_DEFAULT_COMPRESSION);
    zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size()));
    zipCloseFileInZip(zip);
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// One entry of an archive as the zip reader takes it out; "" when it is missing or its
// checksum does not match.
std::string Unzip(const std::string& strArchive, const std::string& strEntry) {
    unzFile zip = unzOpen(strArchive.c_str());
    std::string out;
    if (zip != nullptr && unzLocateFile(zip, strEntry.c_str(), 1) == UNZ_OK &&
        unzOpenCurrentFile(zip) == UNZ_OK) {
        char buffer[4096];
        for (int n; (n = unzReadCurrentFile(zip, buffer, sizeof(buffer))) > 0;) {
            out.append(buffer, static_cast<size_t>(n));
        }
        if (unzCloseCurrentFile(zip) != UNZ_OK) out.clear();
    }
    if (zip != nullptr) unzClose(zip);
    return out;
}

TEST_F(FirmwareUpdateTest, LegacyBoxGetsTheFlashPackageOfItsKernel) {
    StartSim(94);
    // The image is large enough for several package pieces.
    std::string strPlain;
    for (int i = 0; strPlain.size() < 250000; ++i) strPlain += std::to_string(i * 7919) + ",";
    AddImage("imageARM9.bin", strPlain);
    WriteZip(dir.PathOf("update/updateARM9"), "boot.txt", "base package");
    dir.WriteFile(
        "Up.ibl",
        UpdateList({{"ARM9\\A7", "imageARM9.bin", "version", "V1.0.5", SimMd5Hex(strPlain)}}));
    Connect();
    report.bAnswerYes = true;
    const CBoxTypeRecord boxType{1, "ZG", "ARM9"};
    EXPECT_EQ(UpdateBoxFirmware(channel, report, boxType), FirmwareOutcome::kUpdated);
    ASSERT_FALSE(report.questions.empty());
    EXPECT_EQ(report.questions[0],
              "version ARM9-V1.0.0.00000000 NEW V1.0.5\n\n[is_update_firmware]");
    EXPECT_EQ(report.Lines(), Around({"R:[download_file]system.img", "L:download_success"}));

    std::string strPackage;
    {
        auto lock = sim.Lock();
        EXPECT_EQ(sim.State().firmwareImages, Lines{"fsFLASH"});
        strPackage = sim.State().files["fsFLASH"];
    }
    dir.WriteFile("received.zip", strPackage);
    EXPECT_EQ(Unzip(dir.PathOf("received.zip"), "image"), strPlain);
    EXPECT_EQ(Unzip(dir.PathOf("received.zip"), "boot.txt"), "base package");
    // The decrypted image and the package are gone; the stored files stay.
    EXPECT_FALSE(dir.Exists("update/imageARM9"));
    EXPECT_FALSE(dir.Exists("update/fsFLASHARM9"));
    EXPECT_TRUE(dir.Exists("update/imageARM9.bin"));
    EXPECT_TRUE(dir.Exists("update/updateARM9"));
}

}  // namespace
