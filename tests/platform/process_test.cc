#include "platform/process.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "platform/file_system.h"
#include "platform/program_dir.h"
#include "platform/thread_util.h"
#include "tests/fakes/test_env.h"

namespace platform {
namespace {

#ifdef _WIN32
constexpr char kPathSeparator = ';';
#else
constexpr char kPathSeparator = ':';
#endif

// The helper program (process_helper.cc) lies next to the test program.
std::string HelperPath() {
    return JoinPath(ParentDirectory(GetExecutablePath()), ZELVO_PROCESS_HELPER_FILE);
}

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override { m_strDir = MakeTempDirectory("zelvo_process_"); }
    void TearDown() override { RemoveDirectoryTree(m_strDir); }
    std::string Path(const std::string& name) const { return JoinPath(m_strDir, name); }
    static CSpawnRequest Helper(std::vector<std::string> args, std::string strDir = {}) {
        return {HelperPath(), std::move(args), {}, std::move(strDir)};
    }
    // Bounded only so that a broken start cannot hang the run.
    static bool AppearsSoon(const std::string& path) {
        for (int i = 0; i < 2000 && !FileExists(path); ++i) SleepMs(10);
        return FileExists(path);
    }

    std::string m_strDir;
};

TEST_F(ProcessTest, InputAndCapturedOutputRoundTripWithCaptureCappedAt64KiB) {
    std::string input;
    for (int i = 0; i < 200000; ++i) input += static_cast<char>(i * 7 % 256);
    ASSERT_EQ(RunWithInput(Helper({"save", Path("copy")}), input), 0);
    std::string output;
    ASSERT_EQ(RunAndCapture(Helper({"print", Path("copy")}), &output), 0);
    EXPECT_EQ(output, input.substr(0, 65536));
}

TEST_F(ProcessTest, EveryArgumentArrivesAsOne) {
    // Blanks, quotes, backslashes before a quote or at the end, and what a shell would expand.
    const std::vector<std::string> args = {
        "plain", "two words", "", "quote\"inside", "\"", "ends\\", "a\\\\b", "back\\\"quote",
        "tail \\\\", "tab\there", "%PATH%", "$HOME", "semi;colon&amp|pipe",
        "\xc3\xbcnic\xc3\xb6" "de"};
    std::vector<std::string> request = {"args"};
    request.insert(request.end(), args.begin(), args.end());
    std::string expected, output;
    for (const std::string& arg : args) expected += "[" + arg + "]";
    ASSERT_EQ(RunAndCapture(Helper(request), &output), 0);
    EXPECT_EQ(output, expected);
}

TEST_F(ProcessTest, ExitCodesAndProgramsThatCannotStart) {
    std::string output = "stale";
    EXPECT_EQ(RunAndCapture(Helper({"exit", "1"}), &output), 1);
    EXPECT_EQ(output, "");
    // A program that reads none of a large input ends our write, not us.
    EXPECT_EQ(RunWithInput(Helper({"exit", "7"}), std::string(1 << 20, 'x')), 7);
    bool bStarted = false;
    EXPECT_EQ(RunAndWait(Helper({"exit", "5"}), [&] { bStarted = true; }), 5);
    EXPECT_TRUE(bStarted);
    for (const std::string program : {"zelvo-no-such-program", "/nonexistent/prog"}) {
        bStarted = false;
        EXPECT_EQ(RunAndCapture({program, {}, {}, {}}, &output), -1) << program;
        EXPECT_EQ(RunWithInput({program, {}, {}, {}}, "x"), -1) << program;
        EXPECT_EQ(RunAndWait({program, {}, {}, {}}, [&] { bStarted = true; }), -1) << program;
        EXPECT_FALSE(bStarted) << program;
        EXPECT_FALSE(SpawnDetached({program, {}, {}, {}})) << program;
        EXPECT_FALSE(OpenWithShell("", program, "x")) << program;
    }
    EXPECT_EQ(RunAndCapture(Helper({"exit", "0"}, Path("missing-folder")), &output), -1);
}

TEST_F(ProcessTest, BareNamesAreFoundOnThePathOnly) {
    const std::string strHelperDir = ParentDirectory(HelperPath());
    const char* szPath = std::getenv("PATH");
    CScopedVariable path("PATH", m_strDir + kPathSeparator + strHelperDir + kPathSeparator +
                                     (szPath != nullptr ? szPath : ""));
    EXPECT_EQ(FileNameOf(FindProgramOnPath(ZELVO_PROCESS_HELPER_NAME)), ZELVO_PROCESS_HELPER_FILE);
    EXPECT_EQ(RunAndWait({ZELVO_PROCESS_HELPER_NAME, {"exit", "3"}, {}, {}}), 3);
    EXPECT_EQ(FindProgramOnPath("zelvo-no-such-program"), "");
    EXPECT_EQ(FindProgramOnPath(HelperPath()), "");  // a path is no bare name
    // A folder of the program's name is no program.
    ASSERT_TRUE(CreateDirectories(Path("zelvo-folder")));
    EXPECT_EQ(FindProgramOnPath("zelvo-folder"), "");
}

TEST_F(ProcessTest, ChildGetsAddedVariablesAndWorkingFolder) {
    CScopedVariable replaced("ZELVO_REPLACED", "old");
    std::string output;
    CSpawnRequest request = Helper({"env", "ZELVO_ADDED", "ZELVO_REPLACED", "ZELVO_UNSET"});
    request.env = {{"ZELVO_ADDED", "a b;c"}, {"ZELVO_REPLACED", "new"}};
    ASSERT_EQ(RunAndCapture(request, &output), 0);
    EXPECT_EQ(output, "ZELVO_ADDED=a b;c\nZELVO_REPLACED=new\nZELVO_UNSET unset\n");
    ASSERT_EQ(RunAndCapture(Helper({"env", "PATH"}), &output), 0);
    EXPECT_NE(output.find("PATH="), std::string::npos) << "the rest of our environment is kept";

    ASSERT_EQ(RunAndWait(Helper({"touch", "in-folder"}, m_strDir)), 0);
    EXPECT_TRUE(FileExists(Path("in-folder")));
}

TEST_F(ProcessTest, DetachedAndShellStartedProgramsRun) {
    int pid = 0;
    ASSERT_TRUE(SpawnDetached(Helper({"touch", "started"}, m_strDir), &pid));
    EXPECT_GT(pid, 0);
    EXPECT_TRUE(AppearsSoon(Path("started")));
    // Parameters without a blank are one argument on every system.
    const std::string strMarker = Path("shell-started");
    if (strMarker.find(' ') != std::string::npos) GTEST_SKIP() << "a blank in the temp folder";
    ASSERT_TRUE(OpenWithShell("", HelperPath(), strMarker));
    EXPECT_TRUE(AppearsSoon(strMarker));
}

TEST_F(ProcessTest, DetachedProgramIsNotOurChildAndChildrenGetNoneOfOurDescriptors) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows programs have no parent to reap them and no descriptor numbers; "
                    "a start there hands over only the standard handles it names";
#else
    int pid = 0;
    ASSERT_TRUE(SpawnDetached(Helper({"touch", "started"}, m_strDir), &pid));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(AppearsSoon(Path("started")));

    // A descriptor opened without close-on-exec still stays behind.
    const int fd = dup2(open("/dev/null", O_RDONLY | O_CLOEXEC), 57);
    ASSERT_EQ(fd, 57);
    std::string output;
    ASSERT_EQ(RunAndCapture({"ls", {"/proc/self/fd"}, {}, {}}, &output), 0);
    EXPECT_EQ(output.find("57"), std::string::npos) << output;
    close(fd);
#endif
}

}  // namespace
}  // namespace platform
