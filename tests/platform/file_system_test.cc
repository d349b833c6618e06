#include "platform/file_system.h"

#include <dirent.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#undef CreateSymbolicLink  // the platform function, not the Windows macro
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/file_stream.h"
#include "platform/program_dir.h"
#include "platform/thread_util.h"
#include "tests/fakes/test_env.h"

namespace platform {
namespace {

// A mark of a file that a replacing write keeps: the mode bits 0640 here, the hidden
// attribute on Windows.
void MarkFile(const std::string& path) {
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
#else
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
#endif
}

bool IsMarked(const std::string& path) {
#ifdef _WIN32
    const DWORD ulAttributes = GetFileAttributesA(path.c_str());
    return ulAttributes != INVALID_FILE_ATTRIBUTES && (ulAttributes & FILE_ATTRIBUTE_HIDDEN);
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
#endif
}

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strDir = MakeTempDirectory("zelvo_fs_");
        ASSERT_FALSE(m_strDir.empty());
    }
    void TearDown() override {
#ifndef _WIN32
        chmod(m_strDir.c_str(), 0700);
#endif
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

    // Makes a symbolic link; false when this system or user may not make one.
    bool Link(const std::string& target, const std::string& name) const {
        return CreateSymbolicLink(target, Path(name));
    }

    std::string m_strDir;
};

#define REQUIRE_LINK(target, name) \
    if (!Link(target, name)) GTEST_SKIP() << "no symbolic links here (Wine makes none; Windows needs the right)"

#ifndef _WIN32
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
#endif

TEST(PathText, JoinsAndSplitsAtEitherSeparatorOfTheSystem) {
    const std::string s(1, kPathSeparator);
    EXPECT_EQ(JoinPath("/a/b", "c.ini"), "/a/b" + s + "c.ini");
    EXPECT_EQ(JoinPath("/a/b/", "c.ini"), "/a/b/c.ini");
    EXPECT_EQ(JoinPath("", "c.ini"), "c.ini");
    const struct {
        const char *szPath, *szParent, *szName;
        bool bWindowsOnly;
    } kCases[] = {
        {"/a/b/c.ini", "/a/b", "c.ini", false}, {"/c.ini", "/", "c.ini", false},
        {"c.ini", ".", "c.ini", false},         {"a\\b/c", "a\\b", "c", true},
        {"C:\\c.ini", "C:\\", "c.ini", true},   {"C:\\a\\", "C:\\a", "", true},
    };
    for (const auto& c : kCases) {
        if (c.bWindowsOnly && !kWindows) continue;
        EXPECT_EQ(ParentDirectory(c.szPath), c.szParent) << c.szPath;
        EXPECT_EQ(FileNameOf(c.szPath), c.szName) << c.szPath;
    }
    for (const char* name : {"a.txt", "..a", "a b"}) EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "a/b", "a\\b", "a?", std::string("a\0b", 3)}) {
        const bool bPlainHere = !kWindows && (name == "a\\b" || name == "a?");
        EXPECT_EQ(IsPlainFileName(name), bPlainHere) << name;
    }
}

TEST(HomeDirectory, IsTheUsersProfileVariable) {
    CScopedVariable home(kWindows ? "USERPROFILE" : "HOME", "/home/someone");
    EXPECT_EQ(GetHomeDirectory(), "/home/someone");
}

TEST_F(FileSystemTest, WriteAtomicCreatesAndReplacesWithoutLeavingTempFiles) {
    const std::string binary("a\0b\r\n\xFF", 6);
    ASSERT_TRUE(WriteFileAtomic(Path("f.bin"), "old content that is longer"));
    ASSERT_TRUE(WriteFileAtomic(Path("f.bin"), binary));
    EXPECT_EQ(Read("f.bin"), binary);
    EXPECT_EQ(Entries(), (std::vector<std::string>{".", "..", "f.bin"}));
}

TEST_F(FileSystemTest, WriteAtomicKeepsTheMarksOfTheReplacedFile) {
    ASSERT_TRUE(WriteFileAtomic(Path("f"), "1"));
    MarkFile(Path("f"));
    ASSERT_TRUE(WriteFileAtomic(Path("f"), "2"));
    EXPECT_TRUE(IsMarked(Path("f")));
}

TEST_F(FileSystemTest, WriteAtomicThroughASymlinkReplacesTheTargetAndKeepsTheLink) {
    ASSERT_TRUE(WriteFileAtomic(Path("real"), "old"));
    REQUIRE_LINK(Path("real"), "link");
    ASSERT_TRUE(WriteFileAtomic(Path("link"), "new"));
    std::string target;
    EXPECT_TRUE(ReadSymbolicLink(Path("link"), &target));
    EXPECT_EQ(target, Path("real"));
    EXPECT_EQ(Read("real"), "new");
}

// A write that cannot replace the file: a read-only folder here (run as an ordinary user), the
// file held open by another on Windows.
TEST_F(FileSystemTest, WriteAtomicThatCannotReplaceKeepsTheOldContentAndNoTempFile) {
    ASSERT_TRUE(WriteFileAtomic(Path("settings.ini"), "old"));
    const std::string target = Path("settings.ini");
#ifdef _WIN32
    CFileStream holder;
    ASSERT_TRUE(holder.Open(target, CFileStream::Mode::kReadExisting));
    EXPECT_FALSE(WriteFileAtomic(target, "new"));
    holder.Close();
#else
    ASSERT_EQ(chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(chmod(m_strDir.c_str(), 0555), 0);
    EXPECT_FALSE(RunInChild([&] { return WriteFileAtomic(target, "new"); }));
#endif
    EXPECT_EQ(Read("settings.ini"), "old");
    EXPECT_EQ(Entries(), (std::vector<std::string>{".", "..", "settings.ini"}));
}

TEST_F(FileSystemTest, WriteAtomicThatFailsMidWayKeepsTheOldContentAndNoTempFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a file size limit for one process exists only on POSIX systems";
#else
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
#endif
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
    EXPECT_FALSE(GetFileSize(m_strDir, &ullSize));
    EXPECT_TRUE(FileExists(Path("log")));
    EXPECT_FALSE(FileExists(m_strDir));
    EXPECT_TRUE(DirectoryExists(m_strDir));
    EXPECT_FALSE(DirectoryExists(Path("log")));
    EXPECT_TRUE(IsCharacterDevice(kNullDevice));
    EXPECT_FALSE(IsCharacterDevice(Path("log")));
    EXPECT_FALSE(IsCharacterDevice(Path("missing")));
}

TEST_F(FileSystemTest, RealPathsResolveDotsAndLinks) {
    ASSERT_TRUE(CreateDirectories(Path("a/b")));
    std::string real, again;
    ASSERT_TRUE(ResolveRealPath(Path("a/b/../b/."), &real));
    ASSERT_TRUE(ResolveRealPath(real, &again));
    EXPECT_EQ(again, real);
    EXPECT_EQ(FileNameOf(real), "b");
    EXPECT_TRUE(DirectoryExists(real));
    EXPECT_FALSE(ResolveRealPath(Path("missing"), &real));
    REQUIRE_LINK("a", "link");  // relative to the link's folder
    std::string target;
    ASSERT_TRUE(ReadSymbolicLink(Path("link"), &target));
    EXPECT_EQ(target, "a");
    ASSERT_TRUE(ResolveRealPath(Path("link"), &real));
    EXPECT_EQ(real, ParentDirectory(again));
    EXPECT_FALSE(Link("a", "link"));  // exists already
    EXPECT_FALSE(ReadSymbolicLink(Path("a"), &target));
}

TEST_F(FileSystemTest, RenameAndRemoveFiles) {
    ASSERT_TRUE(WriteFileAtomic(Path("a"), "x"));
    ASSERT_TRUE(WriteFileAtomic(Path("c"), "replaced"));
    ASSERT_TRUE(RenameFile(Path("a"), Path("b")));
    ASSERT_TRUE(RenameFile(Path("b"), Path("c")));
    EXPECT_FALSE(FileExists(Path("a")));
    EXPECT_EQ(Read("c"), "x");
    EXPECT_TRUE(RemoveFile(Path("c")));
    EXPECT_FALSE(RemoveFile(Path("c")));
    EXPECT_FALSE(RemoveFile(m_strDir));
    EXPECT_FALSE(RenameFile(Path("b"), Path("d")));
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
    if (!Link(outside, "tree/a/link")) {
        RemoveDirectoryTree(outside);
        GTEST_SKIP() << "no symbolic links here (Wine makes none; Windows needs the right)";
    }
    EXPECT_TRUE(RemoveDirectoryTree(Path("tree")));
    EXPECT_FALSE(DirectoryExists(Path("tree")));
    EXPECT_TRUE(FileExists(JoinPath(outside, "precious")));
    EXPECT_FALSE(RemoveDirectoryTree(Path("tree")));
    RemoveDirectoryTree(outside);
}

TEST_F(FileSystemTest, StreamsReadWriteSeekAndLockTheFile) {
    CFileStream stream, other;
    EXPECT_FALSE(stream.Open(Path("missing"), CFileStream::Mode::kReadExisting));
    EXPECT_FALSE(stream.Open(m_strDir, CFileStream::Mode::kReadExisting));
    ASSERT_TRUE(stream.Open(Path("s"), CFileStream::Mode::kCreateAlways));
    EXPECT_FALSE(other.Open(Path("s"), CFileStream::Mode::kReadExisting));  // held
    ASSERT_TRUE(stream.WriteAll("0123456789", 10));
    int64_t nPosition = 0;
    uint64_t ullSize = 0;
    ASSERT_TRUE(stream.Seek(-4, CFileStream::Origin::kEnd, &nPosition));
    EXPECT_EQ(nPosition, 6);
    EXPECT_TRUE(stream.GetSize(&ullSize));
    EXPECT_EQ(ullSize, 10u);
    char buffer[8] = {};
    size_t nRead = 0;
    ASSERT_TRUE(stream.Read(buffer, sizeof(buffer), &nRead));
    EXPECT_EQ(std::string(buffer, nRead), "6789");
    ASSERT_TRUE(stream.Read(buffer, sizeof(buffer), &nRead));
    EXPECT_EQ(nRead, 0u);
    EXPECT_TRUE(stream.Close());
    EXPECT_FALSE(stream.IsOpen());
    ASSERT_TRUE(other.Open(Path("s"), CFileStream::Mode::kReadExisting));
    size_t nWritten = 0;
    EXPECT_FALSE(other.Write("x", 1, &nWritten));  // opened for reading only
}

TEST_F(FileSystemTest, HandlesAttachDetachCopyAndFreeSpace) {
    EXPECT_EQ(OpenFileHandle(Path("h"), false), -1);
    EXPECT_EQ(OpenFileHandle(m_strDir, true), -1);
    CFileStream stream;
    stream.Attach(OpenFileHandle(Path("h"), true));  // created
    ASSERT_TRUE(stream.IsOpen());
    ASSERT_TRUE(stream.WriteAll("abc", 3));
    CFileStream reader;
    reader.Attach(stream.Detach());
    EXPECT_FALSE(stream.IsOpen());
    ASSERT_TRUE(reader.Seek(0, CFileStream::Origin::kBegin, nullptr));
    char buffer[4] = {};
    size_t nRead = 0;
    ASSERT_TRUE(reader.Read(buffer, sizeof(buffer), &nRead));
    EXPECT_EQ(std::string(buffer, nRead), "abc");
    reader.Close();
    ASSERT_TRUE(WriteFileAtomic(Path("copy"), "a longer old content"));
    ASSERT_TRUE(CopyFileBytes(Path("h"), Path("copy")));
    EXPECT_EQ(Read("copy"), "abc");
    EXPECT_FALSE(CopyFileBytes(Path("missing"), Path("copy")));
    uint64_t ullFree = 0;
    EXPECT_TRUE(GetFreeSpace(m_strDir, &ullFree));
    EXPECT_FALSE(GetFreeSpace(Path("missing/deeper"), &ullFree));
    SetFreeSpaceForTesting(12345);
    EXPECT_TRUE(GetFreeSpace(Path("missing/deeper"), &ullFree));
    EXPECT_EQ(ullFree, 12345u);
    SetFreeSpaceForTesting(-1);
}

TEST(ProgramDirectory, IsTheExecutablesFolderUnlessOverridden) {
    const std::string exe = GetExecutablePath();
    ASSERT_TRUE(FileExists(exe));
    const std::string dir = GetProgramDirectory();
    EXPECT_EQ(JoinPath(dir, FileNameOf(exe)), exe);
    // Trailing separators go, a root's own stays.
    const std::pair<std::string, std::string> kCases[] = {
        {"/opt/zelvo//", "/opt/zelvo"}, {"/", "/"},
        {kWindows ? "C:\\zelvo\\" : "//", kWindows ? "C:\\zelvo" : "/"},
        {kWindows ? "C:\\" : "/opt/", kWindows ? "C:\\" : "/opt"}};
    for (const auto& [given, kept] : kCases) {
        SetProgramDirectory(given);
        EXPECT_EQ(GetProgramDirectory(), kept) << given;
    }
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
