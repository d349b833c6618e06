#include "platform/file_system.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "platform/program_dir.h"
#include "platform/thread_util.h"

namespace platform {
namespace {

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strDir = MakeTempDirectory("zelvo_fs_");
        ASSERT_FALSE(m_strDir.empty());
    }
    void TearDown() override {
        chmod(m_strDir.c_str(), 0700);
        RemoveDirectoryTree(m_strDir);
    }

    std::string Path(const std::string& name) const { return JoinPath(m_strDir, name); }

    std::string Read(const std::string& name) const {
        std::string data;
        EXPECT_TRUE(ReadFileBytes(Path(name), &data));
        return data;
    }

    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        EXPECT_TRUE(ListDirectory(m_strDir, &names));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string m_strDir;
};

// Runs fn in a child process (without root rights, so permissions apply) and returns its
// result; the child's limits and identity do not leak into the test process.
bool RunInChild(const std::function<bool()>& fn) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(2);
        _exit(fn() ? 1 : 0);
    }
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 1;
}

TEST(JoinPath, DoesNotDoubleTheSeparator) {
    EXPECT_EQ(JoinPath("/a/b", "c.ini"), "/a/b/c.ini");
    EXPECT_EQ(JoinPath("/a/b/", "c.ini"), "/a/b/c.ini");
    EXPECT_EQ(JoinPath("", "c.ini"), "c.ini");
}

TEST_F(FileSystemTest, WriteAtomicCreatesAndReplacesWithoutLeavingTempFiles) {
    const std::string binary("a\0b\r\n\xFF", 6);
    ASSERT_TRUE(WriteFileAtomic(Path("f.bin"), "old content that is longer"));
    ASSERT_TRUE(WriteFileAtomic(Path("f.bin"), binary));
    EXPECT_EQ(Read("f.bin"), binary);
    EXPECT_EQ(Entries(), (std::vector<std::string>{".", "..", "f.bin"}));
}

TEST_F(FileSystemTest, WriteAtomicKeepsThePermissionsOfTheReplacedFile) {
    ASSERT_TRUE(WriteFileAtomic(Path("f"), "1"));
    ASSERT_EQ(chmod(Path("f").c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomic(Path("f"), "2"));
    struct stat st;
    ASSERT_EQ(stat(Path("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(FileSystemTest, WriteAtomicThroughASymlinkReplacesTheTargetAndKeepsTheLink) {
    ASSERT_TRUE(WriteFileAtomic(Path("real"), "old"));
    ASSERT_EQ(symlink(Path("real").c_str(), Path("link").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomic(Path("link"), "new"));
    struct stat st;
    ASSERT_EQ(lstat(Path("link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(Read("real"), "new");
}

TEST_F(FileSystemTest, WriteAtomicInAReadOnlyDirectoryFailsAndKeepsTheOldContent) {
    ASSERT_TRUE(WriteFileAtomic(Path("settings.ini"), "old"));
    ASSERT_EQ(chmod(Path("settings.ini").c_str(), 0666), 0);
    ASSERT_EQ(chmod(m_strDir.c_str(), 0555), 0);
    const std::string target = Path("settings.ini");
    EXPECT_FALSE(RunInChild([&] { return WriteFileAtomic(target, "new"); }));
    EXPECT_EQ(Read("settings.ini"), "old");
    EXPECT_EQ(Entries(), (std::vector<std::string>{".", "..", "settings.ini"}));
}

TEST_F(FileSystemTest, WriteAtomicThatFailsMidWayKeepsTheOldContentAndNoTempFile) {
    ASSERT_TRUE(WriteFileAtomic(Path("settings.ini"), "old"));
    ASSERT_EQ(chmod(Path("settings.ini").c_str(), 0666), 0);
    ASSERT_EQ(chmod(m_strDir.c_str(), 0777), 0);
    const std::string target = Path("settings.ini");
    EXPECT_FALSE(RunInChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};  // the disk "fills up" after 16 bytes
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
               WriteFileAtomic(target, std::string(4096, 'x'));
    }));
    EXPECT_EQ(Read("settings.ini"), "old");
    EXPECT_EQ(Entries(), (std::vector<std::string>{".", "..", "settings.ini"}));
}

TEST_F(FileSystemTest, ReadAppendAndQueryFiles) {
    std::string data;
    EXPECT_FALSE(ReadFileBytes(Path("missing"), &data));
    EXPECT_FALSE(ReadFileBytes(m_strDir, &data));
    ASSERT_TRUE(AppendFileBytes(Path("log"), "one\n"));
    ASSERT_TRUE(AppendFileBytes(Path("log"), "two\n"));
    EXPECT_EQ(Read("log"), "one\ntwo\n");
    uint64_t ullSize = 0;
    ASSERT_TRUE(GetFileSize(Path("log"), &ullSize));
    EXPECT_EQ(ullSize, 8u);
    EXPECT_FALSE(GetFileSize(Path("missing"), &ullSize));
    EXPECT_TRUE(FileExists(Path("log")));
    EXPECT_FALSE(FileExists(m_strDir));
    EXPECT_TRUE(DirectoryExists(m_strDir));
    EXPECT_FALSE(DirectoryExists(Path("log")));
}

TEST_F(FileSystemTest, RenameAndRemoveFiles) {
    ASSERT_TRUE(WriteFileAtomic(Path("a"), "x"));
    ASSERT_TRUE(RenameFile(Path("a"), Path("b")));
    EXPECT_FALSE(FileExists(Path("a")));
    EXPECT_EQ(Read("b"), "x");
    EXPECT_TRUE(RemoveFile(Path("b")));
    EXPECT_FALSE(RemoveFile(Path("b")));
    EXPECT_FALSE(RenameFile(Path("b"), Path("c")));
}

TEST_F(FileSystemTest, CreateDirectoriesMakesEveryLevelAndFailsOverAFile) {
    EXPECT_TRUE(CreateDirectories(Path("x/y/z")));
    EXPECT_TRUE(DirectoryExists(Path("x/y/z")));
    EXPECT_TRUE(CreateDirectories(Path("x/y/z/")));  // already there
    ASSERT_TRUE(WriteFileAtomic(Path("file"), ""));
    EXPECT_FALSE(CreateDirectories(Path("file/sub")));
}

TEST_F(FileSystemTest, ListDirectoryReturnsTheSystemOrderWithDotEntries) {
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(WriteFileAtomic(Path("f" + std::to_string(i)), ""));
    std::vector<std::string> expected;
    DIR* dir = opendir(m_strDir.c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* entry = readdir(dir)) expected.emplace_back(entry->d_name);
    closedir(dir);
    std::vector<std::string> names;
    ASSERT_TRUE(ListDirectory(m_strDir, &names));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(names.size(), 42u);
    EXPECT_FALSE(ListDirectory(Path("missing"), &names));
}

TEST_F(FileSystemTest, MakeTempDirectoryGivesANewEmptyDirectoryEachTime) {
    const std::string other = MakeTempDirectory("zelvo_fs_");
    ASSERT_FALSE(other.empty());
    EXPECT_NE(other, m_strDir);
    std::vector<std::string> names;
    ASSERT_TRUE(ListDirectory(other, &names));
    EXPECT_EQ(names.size(), 2u);
    EXPECT_TRUE(RemoveDirectoryTree(other));
}

TEST_F(FileSystemTest, RemoveDirectoryTreeRemovesLinksButNotWhatTheyPointAt) {
    const std::string outside = MakeTempDirectory("zelvo_keep_");
    ASSERT_TRUE(WriteFileAtomic(JoinPath(outside, "precious"), "data"));
    ASSERT_TRUE(CreateDirectories(Path("tree/a/b")));
    ASSERT_TRUE(WriteFileAtomic(Path("tree/a/b/f"), "x"));
    ASSERT_EQ(symlink(outside.c_str(), Path("tree/a/link").c_str()), 0);
    EXPECT_TRUE(RemoveDirectoryTree(Path("tree")));
    EXPECT_FALSE(DirectoryExists(Path("tree")));
    EXPECT_TRUE(FileExists(JoinPath(outside, "precious")));
    EXPECT_FALSE(RemoveDirectoryTree(Path("tree")));
    RemoveDirectoryTree(outside);
}

TEST(ProgramDirectory, IsTheExecutablesFolderUnlessOverridden) {
    const std::string exe = GetExecutablePath();
    ASSERT_TRUE(FileExists(exe));
    const std::string dir = GetProgramDirectory();
    EXPECT_EQ(JoinPath(dir, exe.substr(exe.find_last_of('/') + 1)), exe);
    SetProgramDirectory("/opt/zelvo//");
    EXPECT_EQ(GetProgramDirectory(), "/opt/zelvo");
    SetProgramDirectory("");
    EXPECT_EQ(GetProgramDirectory(), dir);
}

TEST(ThreadUtil, SleepWaitsAtLeastTheGivenTimeOnTheMonotonicClock) {
    const uint64_t ullStart = MonotonicMs();
    SleepMs(30);
    EXPECT_GE(MonotonicMs() - ullStart, 30u);
}

}  // namespace
}  // namespace platform
