#include "platform/process.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/thread_util.h"

namespace platform {
namespace {

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override { m_strDir = MakeTempDirectory("zelvo_process_"); }
    void TearDown() override { RemoveDirectoryTree(m_strDir); }
    std::string Path(const std::string& name) const { return JoinPath(m_strDir, name); }

    std::string m_strDir;
};

TEST_F(ProcessTest, InputAndCapturedOutputRoundTripWithCaptureCappedAt64KiB) {
    std::string input;
    for (int i = 0; i < 200000; ++i) input += static_cast<char>(i * 7 % 256);
    ASSERT_EQ(RunWithInput({"cp", {"/dev/stdin", Path("copy")}, {}, {}}, input), 0);
    std::string output;
    ASSERT_EQ(RunAndCapture({"cat", {Path("copy")}, {}, {}}, &output), 0);
    EXPECT_EQ(output, input.substr(0, 65536));
}

TEST_F(ProcessTest, ExitCodesAndProgramsThatCannotStart) {
    std::string output = "stale";
    EXPECT_EQ(RunAndCapture({"false", {}, {}, {}}, &output), 1);
    EXPECT_EQ(output, "");
    // A program that reads none of a large input ends our write with EPIPE, not a signal.
    EXPECT_EQ(RunWithInput({"sh", {"-c", "exit 7"}, {}, {}}, std::string(1 << 20, 'x')), 7);
    for (const std::string program : {"zelvo-no-such-program", "/nonexistent/prog"}) {
        EXPECT_EQ(RunAndCapture({program, {}, {}, {}}, &output), -1) << program;
        EXPECT_EQ(RunWithInput({program, {}, {}, {}}, "x"), -1) << program;
        EXPECT_FALSE(SpawnDetached({program, {}, {}, {}})) << program;
    }
    EXPECT_EQ(RunAndCapture({"true", {}, {}, Path("missing-folder")}, &output), -1);
    EXPECT_EQ(FindProgramOnPath("zelvo-no-such-program"), "");
    EXPECT_EQ(FindProgramOnPath("sh").front(), '/');
}

TEST_F(ProcessTest, ChildGetsAddedVariablesWorkingFolderAndNoneOfOurDescriptors) {
    setenv("ZELVO_REPLACED", "old", 1);
    std::string output;
    ASSERT_EQ(RunAndCapture({"env", {}, {{"ZELVO_ADDED", "a b;c"}, {"ZELVO_REPLACED", "new"}}, {}},
                            &output),
              0);
    EXPECT_NE(output.find("\nZELVO_ADDED=a b;c\n"), std::string::npos);
    EXPECT_NE(output.find("\nZELVO_REPLACED=new\n"), std::string::npos);
    EXPECT_EQ(output.find("ZELVO_REPLACED=old"), std::string::npos);
    EXPECT_NE(output.find("PATH="), std::string::npos);
    unsetenv("ZELVO_REPLACED");

    ASSERT_EQ(RunAndCapture({"pwd", {"-P"}, {}, m_strDir}, &output), 0);
    EXPECT_EQ(output, m_strDir + "\n");

    // A descriptor opened without close-on-exec still stays behind.
    const int fd = dup2(open("/dev/null", O_RDONLY | O_CLOEXEC), 57);
    ASSERT_EQ(fd, 57);
    ASSERT_EQ(RunAndCapture({"ls", {"/proc/self/fd"}, {}, {}}, &output), 0);
    EXPECT_EQ(output.find("57"), std::string::npos) << output;
    close(fd);
}

TEST_F(ProcessTest, DetachedProgramRunsAndIsNotOurChild) {
    int pid = 0;
    ASSERT_TRUE(SpawnDetached({"touch", {"started"}, {}, m_strDir}, &pid));
    EXPECT_GT(pid, 0);
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    // Bounded only so that a broken start cannot hang the run.
    for (int i = 0; i < 2000 && !FileExists(Path("started")); ++i) SleepMs(10);
    EXPECT_TRUE(FileExists(Path("started")));
}

}  // namespace
}  // namespace platform
