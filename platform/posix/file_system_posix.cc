// Files and directories on POSIX calls. Every failure is reported as false (or an empty
// string); errno is left as the failing call set it.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/file_system.h"

namespace platform {

const char kPathSeparator = '/';

namespace {

std::atomic<unsigned> g_ulTempCounter{0};

// Closes a descriptor on scope exit.
class CFd {
  public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0) close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Closes now and reports whether close succeeded (it may report a delayed write error).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

  private:
    int m_fd;
};

int OpenRetry(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool StatMode(const std::string& path, mode_t* mode) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    *mode = st.st_mode;
    return true;
}

// A symbolic link is replaced through to its target, so the link itself survives the write.
std::string ResolveWriteTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char szResolved[PATH_MAX];
    return realpath(path.c_str(), szResolved) != nullptr ? std::string(szResolved) : path;
}

// Creates a new file beside `target` under a name no other writer uses; the umask applies.
int CreateTempBeside(const std::string& target, std::string* tempPath) {
    for (int nTry = 0; nTry < 100; ++nTry) {
        *tempPath = target + ".~" + std::to_string(getpid()) + "." +
                    std::to_string(g_ulTempCounter.fetch_add(1)) + ".tmp";
        const int fd = OpenRetry(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Makes a completed rename durable; failure here does not undo the replacement.
void SyncDirectory(const std::string& dir) {
    CFd dirFd(OpenRetry(dir.c_str(), O_RDONLY | O_DIRECTORY));
    if (dirFd.IsOpen()) fsync(dirFd.Get());
}

bool RemoveTreeAt(int parentFd, const char* name);

// Removes every entry of the open directory `dirFd`.
bool RemoveEntriesAt(int dirFd) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return false;
    }
    bool bOk = true;
    while (dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        bOk = RemoveTreeAt(dirfd(dir), entry->d_name) && bOk;
    }
    closedir(dir);
    return bOk;
}

// Removes `name` below parentFd; symbolic links are removed, never followed.
bool RemoveTreeAt(int parentFd, const char* name) {
    struct stat st;
    if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return unlinkat(parentFd, name, 0) == 0;
    const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool bOk = RemoveEntriesAt(fd);
    return unlinkat(parentFd, name, AT_REMOVEDIR) == 0 && bOk;
}

}  // namespace

std::string ParentDirectory(std::string_view path) {
    const size_t nSlash = path.find_last_of(kPathSeparator);
    if (nSlash == std::string_view::npos) return ".";
    return std::string(nSlash == 0 ? path.substr(0, 1) : path.substr(0, nSlash));
}

std::string_view FileNameOf(std::string_view path) {
    const size_t nSlash = path.find_last_of(kPathSeparator);
    return nSlash == std::string_view::npos ? path : path.substr(nSlash + 1);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (!path.empty() && path.back() != kPathSeparator) path.push_back(kPathSeparator);
    path.append(name);
    return path;
}

bool ReadFileBytes(const std::string& path, std::string* out) {
    out->clear();
    CFd fd(OpenRetry(path.c_str(), O_RDONLY));
    if (!fd.IsOpen()) return false;
    char buffer[65536];
    while (true) {
        const ssize_t n = read(fd.Get(), buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out->append(buffer, static_cast<size_t>(n));
    }
}

bool WriteFileAtomic(const std::string& path, std::string_view data) {
    const std::string target = ResolveWriteTarget(path);
    std::string tempPath;
    CFd fd(CreateTempBeside(target, &tempPath));
    if (!fd.IsOpen()) return false;
    mode_t mode;
    bool bOk = !StatMode(target, &mode) || fchmod(fd.Get(), mode & 07777) == 0;
    bOk = bOk && WriteAll(fd.Get(), data) && fsync(fd.Get()) == 0;
    bOk = fd.Close() && bOk;
    bOk = bOk && rename(tempPath.c_str(), target.c_str()) == 0;
    if (!bOk) {
        const int nErr = errno;
        unlink(tempPath.c_str());
        errno = nErr;
        return false;
    }
    SyncDirectory(ParentDirectory(target));
    return true;
}

bool AppendFileBytes(const std::string& path, std::string_view data) {
    CFd fd(OpenRetry(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666));
    return fd.IsOpen() && WriteAll(fd.Get(), data) && fd.Close();
}

bool FileExists(const std::string& path) {
    mode_t mode;
    return StatMode(path, &mode) && S_ISREG(mode);
}

bool ReadSymbolicLink(const std::string& path, std::string* target) {
    char szTarget[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), szTarget, sizeof(szTarget));
    if (n < 0 || static_cast<size_t>(n) >= sizeof(szTarget)) return false;
    target->assign(szTarget, static_cast<size_t>(n));
    return true;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool CreateSymbolicLink(const std::string& target, const std::string& path) {
    return symlink(target.c_str(), path.c_str()) == 0;
}

bool IsCharacterDevice(const std::string& path) {
    mode_t mode;
    return StatMode(path, &mode) && S_ISCHR(mode);
}

bool ResolveRealPath(const std::string& path, std::string* out) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    *out = resolved;
    free(resolved);
    return true;
}

std::string GetHomeDirectory() {
    const char* szHome = std::getenv("HOME");
    return szHome != nullptr ? szHome : "";
}

bool DirectoryExists(const std::string& path) {
    mode_t mode;
    return StatMode(path, &mode) && S_ISDIR(mode);
}

bool GetFileSize(const std::string& path, uint64_t* size) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool RemoveFile(const std::string& path) {
    return unlink(path.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return rename(from.c_str(), to.c_str()) == 0;
}

bool CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    const std::string parent = ParentDirectory(path);
    if (parent != path && !CreateDirectories(parent)) return false;
    return mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool ListDirectory(const std::string& dir, std::vector<std::string>* names) {
    names->clear();
    DIR* handle = opendir(dir.c_str());
    if (handle == nullptr) return false;
    errno = 0;
    while (dirent* entry = readdir(handle)) names->emplace_back(entry->d_name);
    const bool bOk = errno == 0;
    closedir(handle);
    return bOk;
}

std::string MakeTempDirectory(std::string_view prefix) {
    const char* szTmp = std::getenv("TMPDIR");
    std::string name(prefix);
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    std::string pattern =
        JoinPath((szTmp != nullptr && *szTmp != '\0') ? szTmp : "/tmp", name + "XXXXXX");
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

bool RemoveDirectoryTree(const std::string& path) {
    mode_t mode;
    if (!StatMode(path, &mode) || !S_ISDIR(mode)) return false;
    return RemoveTreeAt(AT_FDCWD, path.c_str());
}

}  // namespace platform
