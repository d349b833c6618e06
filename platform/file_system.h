// Files and directories. Paths are UTF-8; '/' separates components on Linux, '\' or '/' on
// Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/windows_names.h"

namespace platform {

// The separator used when building paths.
extern const char kPathSeparator;

// dir + separator + name; a trailing separator of dir is not doubled.
std::string JoinPath(std::string_view dir, std::string_view name);
// The folder part of a path ("." when there is none) and the name after the last separator.
std::string ParentDirectory(std::string_view path);
std::string_view FileNameOf(std::string_view path);
// True when name can stand as one entry of a folder: not empty, not "." or "..", and without a
// separator or a NUL (on Windows also without any of : * ? " < > |).
bool IsPlainFileName(std::string_view name);

// Reads the whole file into *out. Returns false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string* out);

// Replaces the file's content: writes a temporary file beside it and renames it over the
// target, so readers see either the old or the new content, never a half-written file.
bool WriteFileAtomic(const std::string& path, std::string_view data);

// Appends to the file, creating it when missing.
bool AppendFileBytes(const std::string& path, std::string_view data);

// The absolute path with every link, "." and ".." resolved; false when it does not exist.
bool ResolveRealPath(const std::string& path, std::string* out);
// The user's home folder ($HOME; %USERPROFILE% on Windows); empty when unknown.
std::string GetHomeDirectory();
bool FileExists(const std::string& path);       // a regular file
// The text a symbolic link holds (as stored, possibly relative); false when path is no link.
// On Windows a junction counts as a link too.
bool ReadSymbolicLink(const std::string& path, std::string* target);
// Makes path a symbolic link holding target (as given, possibly relative); false when path
// exists already or the link cannot be made. On Windows the user needs the right to make links
// (developer mode or an administrator); '/' in target is stored as '\'.
bool CreateSymbolicLink(const std::string& target, const std::string& path);
// True when path (links followed) is a character device that exists now. On Windows a device
// name such as "NUL" or "\\.\COM3", which is opened for a moment to ask.
bool IsCharacterDevice(const std::string& path);
bool DirectoryExists(const std::string& path);  // a directory
bool GetFileSize(const std::string& path, uint64_t* size);
bool RemoveFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);
bool CreateDirectories(const std::string& path);

// Names of the entries of a directory in the order the system enumerates them, "." and ".."
// included as the system reports them. Returns false when the directory cannot be read.
bool ListDirectory(const std::string& dir, std::vector<std::string>* names);

// A new empty directory below the system's temporary folder (for tests and scratch work).
std::string MakeTempDirectory(std::string_view prefix);
// Removes a directory and everything below it.
bool RemoveDirectoryTree(const std::string& path);

}  // namespace platform
