// Files and directories on the wide-character Windows API. Paths are UTF-8 and either '\' or
// '/' separates their components. Every failure is reported as false (or an empty string); the
// thread's last error is left as the failing call set it.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/system_folders.h"
#include "platform/win32/wide_text.h"

#ifndef SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
#define SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE 0x2
#endif

namespace platform {

const char kPathSeparator = '\\';

namespace {

constexpr std::string_view kSeparators = "\\/";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int kMoveTries = 10;
constexpr DWORD kMoveRetryMs = 10;

std::atomic<unsigned> g_ulTempCounter{0};

// Closes a handle on scope exit.
class CHandle {
  public:
    explicit CHandle(HANDLE hHandle) : m_hHandle(hHandle) {}
    ~CHandle() {
        if (IsOpen()) CloseHandle(m_hHandle);
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    HANDLE Get() const { return m_hHandle; }
    bool IsOpen() const { return m_hHandle != INVALID_HANDLE_VALUE; }
    // Closes now and reports whether that succeeded (it may report a delayed write error).
    bool Close() {
        const HANDLE hHandle = m_hHandle;
        m_hHandle = INVALID_HANDLE_VALUE;
        return CloseHandle(hHandle) != 0;
    }

  private:
    HANDLE m_hHandle;
};

HANDLE OpenPath(const std::string& path, DWORD ulAccess, DWORD ulShare, DWORD ulDisposition,
                DWORD ulFlags = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(WideFromUtf8(path).c_str(), ulAccess, ulShare, nullptr, ulDisposition,
                       ulFlags, nullptr);
}

bool WriteAll(HANDLE hFile, std::string_view data) {
    while (!data.empty()) {
        const DWORD ulChunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
        DWORD ulWritten = 0;
        if (!WriteFile(hFile, data.data(), ulChunk, &ulWritten, nullptr) || ulWritten == 0) {
            return false;
        }
        data.remove_prefix(ulWritten);
    }
    return true;
}

// Attributes of the entry itself, a link not followed; INVALID_FILE_ATTRIBUTES when missing.
DWORD OwnAttributes(const std::string& path) {
    return GetFileAttributesW(WideFromUtf8(path).c_str());
}

bool IsLink(DWORD ulAttributes) {
    return ulAttributes != INVALID_FILE_ATTRIBUTES && (ulAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

struct CEntryInfo {
    DWORD ulAttributes;
    uint64_t ullSize;
};

// What the path names, links followed; false when it (or a link's target) does not exist.
bool QueryEntry(const std::string& path, CEntryInfo* pInfo) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    if (!IsLink(data.dwFileAttributes)) {
        *pInfo = {data.dwFileAttributes,
                  (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
        return true;
    }
    CHandle target(OpenPath(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!target.IsOpen() || !GetFileInformationByHandle(target.Get(), &info)) return false;
    *pInfo = {info.dwFileAttributes,
              (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow};
    return true;
}

bool IsAbsolutePath(std::string_view path) {
    const auto IsSeparatorAt = [&](size_t i) {
        return path.size() > i && kSeparators.find(path[i]) != std::string_view::npos;
    };
    return IsSeparatorAt(0) || (path.size() > 2 && path[1] == ':' && IsSeparatorAt(2));
}

// The path as a DOS path: the "\\?\" (and "\\?\UNC\") prefix of a final path removed.
std::wstring WithoutLongPathPrefix(std::wstring path) {
    if (path.starts_with(L"\\\\?\\UNC\\")) return L"\\" + path.substr(7);
    if (path.starts_with(L"\\\\?\\")) return path.substr(4);
    return path;
}

// Renames over an existing file. A virus scanner or indexer that holds the target open for a
// moment makes the rename fail with a sharing error, so such failures are tried again.
bool MoveReplacing(const std::string& from, const std::string& to) {
    const std::wstring wideFrom = WideFromUtf8(from), wideTo = WideFromUtf8(to);
    for (int nTry = 1;; ++nTry) {
        if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        const DWORD ulError = GetLastError();
        const bool bBusy = ulError == ERROR_SHARING_VIOLATION || ulError == ERROR_ACCESS_DENIED ||
                           ulError == ERROR_LOCK_VIOLATION;
        if (!bBusy || nTry == kMoveTries) return false;
        Sleep(kMoveRetryMs);
    }
}

// A symbolic link is replaced through to its target, so the link itself survives the write.
std::string ResolveWriteTarget(const std::string& path) {
    std::string target;
    return IsLink(OwnAttributes(path)) && ResolveRealPath(path, &target) ? target : path;
}

// Creates a new file beside `target` under a name no other writer uses.
HANDLE CreateTempBeside(const std::string& target, std::string* tempPath) {
    for (int nTry = 0; nTry < 100; ++nTry) {
        *tempPath = target + ".~" + std::to_string(GetCurrentProcessId()) + "." +
                    std::to_string(g_ulTempCounter.fetch_add(1)) + ".tmp";
        const HANDLE hFile = OpenPath(*tempPath, GENERIC_WRITE, 0, CREATE_NEW);
        if (hFile != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return hFile;
    }
    return INVALID_HANDLE_VALUE;
}

// The replaced file's hidden, system and not-indexed marks carry over to its new content.
bool KeepAttributes(const std::string& target, const std::string& tempPath) {
    const DWORD ulOld = OwnAttributes(target);
    if (ulOld == INVALID_FILE_ATTRIBUTES) return true;
    const DWORD ulKept = ulOld & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    return SetFileAttributesW(WideFromUtf8(tempPath).c_str(),
                              ulKept != 0 ? ulKept : FILE_ATTRIBUTE_NORMAL) != 0;
}

// Calls fn for every entry of the directory, "." and ".." included.
bool ForEachEntry(const std::string& dir, const std::function<void(const WIN32_FIND_DATAW&)>& fn) {
    WIN32_FIND_DATAW entry{};
    const HANDLE hFind = FindFirstFileW(WideFromUtf8(JoinPath(dir, "*")).c_str(), &entry);
    if (hFind == INVALID_HANDLE_VALUE) {
        // An empty drive root has no entries at all, not even "." and "..".
        return GetLastError() == ERROR_FILE_NOT_FOUND && DirectoryExists(dir);
    }
    do {
        fn(entry);
    } while (FindNextFileW(hFind, &entry));
    const bool bOk = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(hFind);
    return bOk;
}

// Removes a file or a link (a link to a folder is removed as a folder, which leaves the folder
// it leads to alone). A read-only mark does not keep the entry.
bool RemoveEntry(const std::string& path, DWORD ulAttributes) {
    const std::wstring wide = WideFromUtf8(path);
    if (ulAttributes & FILE_ATTRIBUTE_READONLY) {
        const DWORD ulWritable = ulAttributes & ~FILE_ATTRIBUTE_READONLY;
        SetFileAttributesW(wide.c_str(), ulWritable != 0 ? ulWritable : FILE_ATTRIBUTE_NORMAL);
    }
    return (ulAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(wide.c_str()) != 0
                                                     : DeleteFileW(wide.c_str()) != 0;
}

// Removes a directory (not a link) and everything below it; links are removed, never followed.
bool RemoveTree(const std::string& path) {
    bool bOk = ForEachEntry(path, [&](const WIN32_FIND_DATAW& entry) {
        const std::wstring_view name(entry.cFileName);
        if (name == L"." || name == L"..") return;
        const std::string child = JoinPath(path, Utf8FromWide(name));
        const DWORD ulAttributes = entry.dwFileAttributes;
        const bool bFolder = (ulAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(ulAttributes);
        bOk = (bFolder ? RemoveTree(child) : RemoveEntry(child, ulAttributes)) && bOk;
    });
    return RemoveDirectoryW(WideFromUtf8(path).c_str()) && bOk;
}

// The link data that FSCTL_GET_REPARSE_POINT returns for a symbolic link or a junction. Name
// offsets and lengths are in bytes from the start of the path buffer.
struct CReparseData {
    ULONG ulTag;
    USHORT usDataLength;
    USHORT usReserved;
    USHORT usSubstituteOffset;
    USHORT usSubstituteLength;
    USHORT usPrintOffset;
    USHORT usPrintLength;
    // A symbolic link has a flags field here; a junction's path buffer starts here.
};

// The text a link holds: its print name, else its substitute name without the "\??\" prefix.
bool LinkTextOf(const std::vector<char>& buffer, DWORD ulSize, std::string* target) {
    CReparseData data{};
    if (ulSize < sizeof(data)) return false;
    memcpy(&data, buffer.data(), sizeof(data));
    size_t nPaths = sizeof(data);
    if (data.ulTag == IO_REPARSE_TAG_SYMLINK) {
        nPaths += sizeof(ULONG);
    } else if (data.ulTag != IO_REPARSE_TAG_MOUNT_POINT) {
        return false;
    }
    const bool bPrint = data.usPrintLength > 0;
    const size_t nOffset = nPaths + (bPrint ? data.usPrintOffset : data.usSubstituteOffset);
    const size_t nLength = bPrint ? data.usPrintLength : data.usSubstituteLength;
    if (nOffset + nLength > ulSize) return false;
    std::wstring text(nLength / sizeof(wchar_t), L'\0');
    memcpy(text.data(), buffer.data() + nOffset, text.size() * sizeof(wchar_t));
    if (!bPrint && text.starts_with(L"\\??\\")) text.erase(0, 4);
    *target = Utf8FromWide(text);
    return true;
}

}  // namespace

std::string ParentDirectory(std::string_view path) {
    const size_t nSlash = path.find_last_of(kSeparators);
    if (nSlash == std::string_view::npos) return ".";
    const bool bRoot = nSlash == 0 || (nSlash == 2 && path[1] == ':');  // "\" or "C:\"
    return std::string(path.substr(0, bRoot ? nSlash + 1 : nSlash));
}

std::string_view FileNameOf(std::string_view path) {
    const size_t nSlash = path.find_last_of(kSeparators);
    return nSlash == std::string_view::npos ? path : path.substr(nSlash + 1);
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string path(dir);
    if (!path.empty() && kSeparators.find(path.back()) == std::string_view::npos) {
        path.push_back(kPathSeparator);
    }
    path.append(name);
    return path;
}

bool IsPlainFileName(std::string_view name) {
    constexpr std::string_view kForbidden("\\/:*?\"<>|\0", 10);
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(kForbidden) == std::string_view::npos;
}

bool ReadFileBytes(const std::string& path, std::string* out) {
    out->clear();
    CHandle file(OpenPath(path, GENERIC_READ, kShareAll, OPEN_EXISTING));
    if (!file.IsOpen()) return false;
    char buffer[65536];
    for (;;) {
        DWORD ulRead = 0;
        if (!ReadFile(file.Get(), buffer, sizeof(buffer), &ulRead, nullptr)) return false;
        if (ulRead == 0) return true;
        out->append(buffer, ulRead);
    }
}

bool WriteFileAtomic(const std::string& path, std::string_view data) {
    const std::string target = ResolveWriteTarget(path);
    std::string tempPath;
    CHandle file(CreateTempBeside(target, &tempPath));
    if (!file.IsOpen()) return false;
    bool bOk = WriteAll(file.Get(), data) && FlushFileBuffers(file.Get());
    bOk = file.Close() && bOk;
    bOk = bOk && KeepAttributes(target, tempPath) && MoveReplacing(tempPath, target);
    if (!bOk) {
        const DWORD ulError = GetLastError();
        DeleteFileW(WideFromUtf8(tempPath).c_str());
        SetLastError(ulError);
    }
    return bOk;
}

bool AppendFileBytes(const std::string& path, std::string_view data) {
    CHandle file(OpenPath(path, FILE_APPEND_DATA, kShareAll, OPEN_ALWAYS));
    return file.IsOpen() && WriteAll(file.Get(), data) && file.Close();
}

bool FileExists(const std::string& path) {
    CEntryInfo info{};
    return QueryEntry(path, &info) && !(info.ulAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadSymbolicLink(const std::string& path, std::string* target) {
    if (!IsLink(OwnAttributes(path))) return false;
    CHandle link(OpenPath(path, 0, kShareAll, OPEN_EXISTING,
                          FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS));
    if (!link.IsOpen()) return false;
    std::vector<char> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD ulSize = 0;
    return DeviceIoControl(link.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(),
                           static_cast<DWORD>(buffer.size()), &ulSize, nullptr) &&
           LinkTextOf(buffer, ulSize, target);
}

bool CreateSymbolicLink(const std::string& target, const std::string& path) {
    std::string text = target;
    std::replace(text.begin(), text.end(), '/', kPathSeparator);
    // A link to a folder must say so; a relative target counts from the link's folder.
    const std::string resolved =
        IsAbsolutePath(text) ? text : JoinPath(ParentDirectory(path), text);
    const DWORD ulKind = DirectoryExists(resolved) ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    const std::wstring widePath = WideFromUtf8(path), wideText = WideFromUtf8(text);
    const DWORD ulFlags = ulKind | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    const bool bMade = ::CreateSymbolicLinkW(widePath.c_str(), wideText.c_str(), ulFlags) ||
                       // Systems before Windows 10 (1703) do not know that flag and refuse it.
                       (GetLastError() == ERROR_INVALID_PARAMETER &&
                        ::CreateSymbolicLinkW(widePath.c_str(), wideText.c_str(), ulKind));
    // Wine reports success without making anything.
    return bMade && IsLink(GetFileAttributesW(widePath.c_str()));
}

bool IsCharacterDevice(const std::string& path) {
    CHandle device(OpenPath(path, 0, kShareAll, OPEN_EXISTING));
    return device.IsOpen() && GetFileType(device.Get()) == FILE_TYPE_CHAR;
}

bool ResolveRealPath(const std::string& path, std::string* out) {
    CHandle entry(OpenPath(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    if (!entry.IsOpen()) return false;
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        const DWORD ulLength =
            GetFinalPathNameByHandleW(entry.Get(), final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (ulLength == 0) return false;
        const bool bFits = ulLength < final.size();
        final.resize(ulLength);  // the length, or the size needed when it did not fit
        if (bFits) break;
    }
    *out = Utf8FromWide(WithoutLongPathPrefix(final));
    return true;
}

std::string GetHomeDirectory() {
    return EnvironmentValue(L"USERPROFILE");
}

bool DirectoryExists(const std::string& path) {
    CEntryInfo info{};
    return QueryEntry(path, &info) && (info.ulAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool GetFileSize(const std::string& path, uint64_t* size) {
    CEntryInfo info{};
    if (!QueryEntry(path, &info) || (info.ulAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    *size = info.ullSize;
    return true;
}

bool RemoveFile(const std::string& path) {
    const DWORD ulAttributes = OwnAttributes(path);
    // A folder goes only when it is a link: RemoveFile never removes a real folder.
    const bool bFolder = (ulAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(ulAttributes);
    return ulAttributes != INVALID_FILE_ATTRIBUTES && !bFolder && RemoveEntry(path, ulAttributes);
}

bool RenameFile(const std::string& from, const std::string& to) {
    return MoveReplacing(from, to);
}

bool CreateDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    const std::string parent = ParentDirectory(path);
    if (parent != path && !CreateDirectories(parent)) return false;
    return CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr) ||
           (GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path));
}

bool ListDirectory(const std::string& dir, std::vector<std::string>* names) {
    names->clear();
    return ForEachEntry(dir, [names](const WIN32_FIND_DATAW& entry) {
        names->push_back(Utf8FromWide(entry.cFileName));
    });
}

std::string MakeTempDirectory(std::string_view prefix) {
    const std::string base = TempFolderPath();
    if (base.empty()) return {};
    std::string name(prefix);
    std::replace_if(name.begin(), name.end(), [](char c) { return c == '\\' || c == '/'; }, '_');
    const std::string stem = JoinPath(base, name + std::to_string(GetCurrentProcessId()) + "_");
    for (int nTry = 0; nTry < 1000; ++nTry) {
        const std::string path = stem + std::to_string(g_ulTempCounter.fetch_add(1));
        if (CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

bool RemoveDirectoryTree(const std::string& path) {
    const DWORD ulAttributes = OwnAttributes(path);
    if (ulAttributes == INVALID_FILE_ATTRIBUTES || !(ulAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    // A link to a folder is removed itself; the folder it leads to stays.
    return IsLink(ulAttributes) ? RemoveEntry(path, ulAttributes) : RemoveTree(path);
}

}  // namespace platform
