// The update list and the decision which images are newer than what the box reports.
#include "box/update_list.h"

#include <gtest/gtest.h>

#include "support/xml_document.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

TEST(VersionTest, ComparesProductTagsThenNumbers) {
    struct {
        const char *szList, *szBox;
        bool bNewer;
    } const cases[] = {
        {"V1.0.3-P:FS", "V1.0.2-P:FS", true},
        {"V2.0.0-P:FS", "V1.9.9-P:FS", false},
        {"V1.0.3-P:FS", "V1.0.2-P:XX", false},
        {"V1.0.3-P:FS", "V1.0.2", true},
        {"V1.0.3", "V1.0.2-P:XX", true},
        {"V1.0.3-P:FS x", "V1.0.2-P:FS", true},
        {"V1.0.2-P:FS", "V1.0.2-P:FS", false},
        {"V1.0.2-P:FS", "V1.0.3-P:FS", false},
        {"V1.2", "V1.1.9.9", true},
        {"", "", false},
        {"1.0.0.0.0.0.0.0.0.2", "1.0.0.0.0.0.0.0.0.1", true},       // the tenth number decides
        {"1.0.0.0.0.0.0.0.0.0.9", "1.0.0.0.0.0.0.0.0.0.1", false},  // an eleventh does not
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNewerVersion(c.szList, c.szBox), c.bNewer) << c.szList << " vs " << c.szBox;
    }
    struct {
        const char* szText;
        std::vector<int> numbers;
    } const parses[] = {{"V1.0.3-P:FS", {1, 0, 3}},
                        {"version ARM9-V1.0.0", {9}},
                        {"x12..3", {12}},
                        {"99999999999999999999.1", {INT_MAX, 1}},
                        {"none", {}}};
    for (const auto& c : parses) {
        std::array<int, kMaxVersionNumbers> numbers;
        std::vector<int> expected = c.numbers;
        expected.resize(kMaxVersionNumbers);
        EXPECT_EQ(ParseVersionNumbers(c.szText, &numbers), c.numbers.size()) << c.szText;
        EXPECT_EQ(std::vector<int>(numbers.begin(), numbers.end()), expected) << c.szText;
    }
}

TEST(SelectUpdatesTest, MarksNewerImagesAndTheLegacyCases) {
    const std::string strLong = "OSVER:V1.0.2" + std::string(300, 'x');
    struct {
        std::string strReport, strKey, strVersion;
        std::string strSummary;  // "" when the record is not to be updated
        bool bLegacy;
    } const cases[] = {
        {"osver:V1.0.2-P:FS\r\n", "OSVER:", "V1.0.3-P:FS", "osver:V1.0.2-P:FS NEW V1.0.3-P:FS\n",
         false},
        {"OSVER:V1.0.3-P:FS\n", "OSVER:", "V1.0.3-P:FS", "", false},
        {"kOSVER:V1.0.2", "OSVER:", "V1.0.3", "OSVER:V1.0.2 NEW V1.0.3\n", false},
        {strLong + "\r\n", "OSVER:", "V1.0.3", strLong.substr(0, 255) + " NEW V1.0.3\n", false},
        {"OSVER:V1.0.2\r\n", "version", "V1.0.5", "version ARM9-V1.0.0.00000000 NEW V1.0.5\n",
         true},
        {"version x-V1.0.0.1\n", "version", "V1.0.0.2", "version x-V1.0.0.1 NEW V1.0.0.2\n", false},
        {"fsFLASHVER:V1.0.0-P:FS\r", "fsFLASHVER:", "V0", "fsFLASHVER:V1.0.0-P:FS NEW V0\n", false},
        {"OSVER:V1\r\n", "fsFLASHVER:", "V1.0.2", "fsFLASHVER:V1.0.0 NEW V1.0.2\n", false},
        {"OSVER:V1\r\n", "kernel:", "V9", "", false},
    };
    for (const auto& c : cases) {
        std::vector<UpdateRecord> records(1);
        records[0].strVersionKey = c.strKey;
        records[0].strVersion = c.strVersion;
        const CUpdateSelection selection = SelectUpdates(c.strReport, "ARM9\\A7", "NEW", &records);
        EXPECT_EQ(selection.strSummary, c.strSummary) << c.strReport;
        EXPECT_EQ(selection.bLegacy, c.bLegacy) << c.strReport;
        EXPECT_EQ(records[0].nUpdateFlag, c.strSummary.empty() ? 0u : 1u) << c.strReport;
    }
}

std::string Element(const std::string& strKernel, const std::string& strImage) {
    return "<element Kernel=\"" + strKernel + "\" ImgName=\"" + strImage +
           "\" DownName=\"d\" VerName=\"OSVER:\" Ver=\"V1\" Md5=\"&amp;5\"/>";
}

TEST(UpdateListTest, CollectsTheElementsOfTypeAndKernel) {
    std::string strMany;
    std::vector<std::string> first20;
    for (int i = 0; i < 25; ++i) strMany += Element("A7", std::to_string(i));
    for (int i = 0; i < 20; ++i) first20.push_back(std::to_string(i));
    struct {
        std::string strText;
        std::vector<std::string> images;  // ImgName of each record, in order
    } const cases[] = {
        {"<UpdateInfo><ZELVOType SerialNo=\"ZE\">" + Element("A7", "other") +
             "</ZELVOType><ZELVOType SerialNo=\"ZG\">" + Element("ARM9\\A7", "a") +
             Element("ARM9", "b") + Element("A7\\X\\A7", "c") + Element("a7", "d") +
             "</ZELVOType><ZELVOType SerialNo=\"ZG\">" + Element("A7", "later") +
             "</ZELVOType></UpdateInfo>",
         {"a", "c", "c"}},
        {"<UpdateInfo><ZELVOType SerialNo=\"ZG\">" + strMany + "</ZELVOType></UpdateInfo>",
         first20},
        {"<UpdateInfo><ZELVOType SerialNo=\"ZX\">" + Element("A7", "a") +
             "</ZELVOType>"
             "</UpdateInfo>",
         {}},
        {"<Other><ZELVOType SerialNo=\"ZG\">" + Element("A7", "a") + "</ZELVOType></Other>", {}},
    };
    const CBoxTypeRecord boxType{0, "ZG", "A7"};
    for (const auto& c : cases) {
        XmlDocument list;
        list.SetText(c.strText);
        std::vector<UpdateRecord> records;
        EXPECT_EQ(LoadUpdateList(list, boxType, &records), !c.images.empty());
        std::vector<std::string> images;
        for (const UpdateRecord& record : records) images.push_back(record.strImageName);
        EXPECT_EQ(images, c.images);
    }
}

TEST(UpdateListTest, ReadsUpIblFromTheProgramDirectoryAndCutsLongTexts) {
    CTempProgramDir dir;
    std::vector<UpdateRecord> records;
    EXPECT_FALSE(LoadUpdateList(CBoxTypeRecord{0, "ZG", "A7"}, &records));  // no file
    dir.WriteFile("Up.ibl", "<UpdateInfo><ZELVOType SerialNo=\"ZG\">" +
                                Element("A7", std::string(300, 'i')) + "</ZELVOType></UpdateInfo>");
    ASSERT_TRUE(LoadUpdateList(CBoxTypeRecord{0, "ZG", "A7"}, &records));
    ASSERT_EQ(records.size(), 1u);
    const UpdateRecord& r = records[0];
    EXPECT_EQ(r.strImageName, std::string(kMaxUpdateText, 'i'));
    EXPECT_EQ(r.strBoxName + r.strVersionKey + r.strVersion + r.strMd5, "dOSVER:V1&5");
}

}  // namespace
