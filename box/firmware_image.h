// Firmware images as the program carries them: stored RC4-encrypted in the "update" folder,
// decrypted beside themselves for a transfer, checked against the list's MD5 text and sent to
// the box; boxes too old to report their system version get a flash package instead, a zip
// archive made of a base package and the decrypted image.
#pragma once

#include <cstddef>
#include <string>

#include "box/box_channel.h"
#include "support/operation_report.h"

inline constexpr const char* kImageKey = "5830264917";
inline constexpr size_t kImageBlockSize = 1024;      // the keystream restarts every block
inline constexpr size_t kPackagePieceSize = 102400;  // zip entry data are written in these
inline constexpr size_t kMaxImagePath = 259;         // characters: a 260-unit path buffer
inline constexpr const char* kUpdateFolder = "update";
inline constexpr const char* kFlashPackageBoxName = "fsFLASH";

// DecryptImageFile results.
enum : int {
    kDecryptOk = 0,
    kDecryptNoSource = -1,     // the source cannot be opened (or the key is unusable)
    kDecryptWriteFailed = -2,  // the destination cannot be created or written
};

// XORs the source with the RC4 keystream of the key, restarted at every kImageBlockSize block,
// into the destination (created or replaced). Its own inverse. On a read or write error after
// the destination was created, the partial destination is removed. Keys are 1 to 256 bytes.
int DecryptImageFile(const std::string& strSource, const std::string& strKey,
                     const std::string& strDestination);

// "<program dir>/update/<name>"; false when the name is not a plain file name (empty, "." or
// "..", or holding a path separator) or the path would be longer than kMaxImagePath characters.
bool BuildUpdatePath(const std::string& strName, std::string* pPath);

// Builds the flash package at the path: the kernel comes from the package's file name ("ARM9",
// else "A7", else other); the kernel's base package ("update/updateARM9", "update/updateA7" or
// "update/update") is copied over it and the entry "image" is added, holding the kernel's
// decrypted image ("update/imageARM9", "update/imageA7" or "update/image"; a missing one leaves
// the entry empty). Nothing is built when the base package is missing or no zip archive, or a
// path is too long; the caller finds out through the package's MD5 and the transfer.
void BuildLegacyFlashPackage(const std::string& strPackagePath);

// Decrypts the image beside itself (its path without the last 4 characters), checks it against
// the MD5 text and sends it under the box name; with bLegacy the kernel's flash package is sent
// as "fsFLASH" instead. Writes "open_src_file_failed", "crypt_file_failed" or "md5_error" when
// the image cannot be prepared; the transfer writes its own result line. The decrypted file and
// the package are removed afterwards. True when the transfer succeeded.
bool UpdateFirmwareImage(CBoxChannel& channel, IOperationReport& report,
                         const std::string& strImagePath, const std::string& strBoxName,
                         const std::string& strMd5, bool bLegacy);
