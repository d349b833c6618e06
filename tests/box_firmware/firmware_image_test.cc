// Image decryption: the keystream restarts at every 1024-byte block, the operation is its own
// inverse, and failures leave no output behind.
#include "box/firmware_image.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

TEST(DecryptImageTest, EveryBlockIsXoredWithTheSameKeystream) {
    CTempProgramDir dir;
    dir.WriteFile("zeros", std::string(2500, '\0'));
    ASSERT_EQ(DecryptImageFile(dir.PathOf("zeros"), kImageKey, dir.PathOf("out")), kDecryptOk);
    const std::string out = dir.ReadFile("out");
    ASSERT_EQ(out.size(), 2500u);
    // The first and last 8 bytes of the RC4 keystream of "5830264917" over one block.
    EXPECT_EQ(out.substr(0, 8), "\x1c\x22\x38\xda\x5e\xc4\x8a\x77");
    EXPECT_EQ(out.substr(1016, 8), "\xee\xf8\x6f\x17\x17\xfa\x9f\x30");
    EXPECT_EQ(out.substr(1024, 1024), out.substr(0, 1024));
    EXPECT_EQ(out.substr(2048), out.substr(0, 452));
    ASSERT_EQ(DecryptImageFile(dir.PathOf("out"), kImageKey, dir.PathOf("back")), kDecryptOk);
    EXPECT_EQ(dir.ReadFile("back"), std::string(2500, '\0'));
}

TEST(DecryptImageTest, FailuresLeaveNoOutput) {
    CTempProgramDir dir;
    dir.WriteFile("image", std::string(2500, 'i'));
    const std::string strImage = dir.PathOf("image"), strOut = dir.PathOf("out");
    EXPECT_EQ(DecryptImageFile(dir.PathOf("missing"), kImageKey, strOut), kDecryptNoSource);
    EXPECT_EQ(DecryptImageFile(strImage, "", strOut), kDecryptNoSource);
    EXPECT_EQ(DecryptImageFile(strImage, kImageKey, dir.PathOf("no/out")), kDecryptWriteFailed);
    EXPECT_FALSE(dir.Exists("out"));
}

TEST(UpdatePathTest, RefusesNamesThatLeaveTheFolderAndPathsTooLong) {
    CTempProgramDir dir;
    std::string strPath;
    ASSERT_TRUE(BuildUpdatePath("a", &strPath));
    EXPECT_EQ(strPath, platform::JoinPath(dir.PathOf("update"), "a"));
    const size_t nRoom = kMaxImagePath - strPath.size() + 1;
    EXPECT_TRUE(BuildUpdatePath(std::string(nRoom, 'n'), &strPath));
    for (const std::string& name : {std::string(nRoom + 1, 'n'), std::string(""), std::string(".."),
                                    std::string("../Up.ibl"), std::string("a\\b")}) {
        EXPECT_FALSE(BuildUpdatePath(name, &strPath)) << name;
    }
}

}  // namespace
