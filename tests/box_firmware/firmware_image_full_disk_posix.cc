// A disk that fills up part way through a decryption: the file size limit of a child process
// stands in for it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "box/firmware_image.h"
#include "platform/file_system.h"
#include "tests/fakes/temp_program_dir.h"

namespace {

TEST(DecryptImageTest, FullDiskLeavesNoOutput) {
    CTempProgramDir dir;
    dir.WriteFile("image", std::string(2500, 'i'));
    const std::string strImage = dir.PathOf("image"), strOut = dir.PathOf("out");
    // The disk "fills up" after 1500 bytes, in a child so that the limit stays there.
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1500, 1500};
        _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
              DecryptImageFile(strImage, kImageKey, strOut) == kDecryptWriteFailed &&
              !platform::FileExists(strOut));
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1);
}

}  // namespace
