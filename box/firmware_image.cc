#include "box/firmware_image.h"

#include <minizip/zip.h>
#include <zlib.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "box/file_transfer.h"
#include "package/md5.h"
#include "package/rc4.h"
#include "platform/codepage.h"
#include "platform/file_stream.h"
#include "platform/file_system.h"
#include "platform/program_dir.h"

namespace {

constexpr size_t kMaxKeyLength = 256;
constexpr size_t kDecryptedSuffixChars = 4;  // the image's extension, e.g. ".bin"

// Reads until the buffer is full or the file ends; false on a read error.
bool ReadFull(platform::CFileStream& file, uint8_t* pBuffer, size_t nLength, size_t* pnRead) {
    *pnRead = 0;
    while (*pnRead < nLength) {
        size_t nCount = 0;
        if (!file.Read(pBuffer + *pnRead, nLength - *pnRead, &nCount)) return false;
        if (nCount == 0) return true;
        *pnRead += nCount;
    }
    return true;
}

// XORs every block with the keystream from its start; false on a read or write error.
bool CryptBlocks(platform::CFileStream& source, platform::CFileStream& destination,
                 const std::string& strKey) {
    uint8_t block[kImageBlockSize];
    CRc4 cipher;
    while (true) {
        size_t nRead = 0;
        if (!ReadFull(source, block, sizeof(block), &nRead)) return false;
        cipher.SetKey(reinterpret_cast<const uint8_t*>(strKey.data()), strKey.size());
        cipher.Apply(block, nRead);
        if (!destination.WriteAll(block, nRead)) return false;
        if (nRead < sizeof(block)) return true;
    }
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool PathFits(const std::string& strPath) {
    return platform::CountCodePoints(strPath) <= kMaxImagePath;
}

// The kernel a flash package is for, by its file name: "ARM9", "A7" or "" (other).
std::string_view PackageKernel(std::string_view packageName) {
    if (Contains(packageName, "ARM9")) return "ARM9";
    if (Contains(packageName, "A7")) return "A7";
    return "";
}

// The package for an image, by the image's file name.
std::string PackageNameFor(const std::string& strImagePath) {
    const std::string_view name = platform::FileNameOf(strImagePath);
    if (Contains(name, "imageARM9")) return "fsFLASHARM9";
    if (Contains(name, "imageA7")) return "fsFLASHA7";
    return "fsFLASH";
}

// The image path without its last 4 characters; false when that would not leave a file name of
// its own or the path does not fit its buffer.
bool DecryptedPathOf(const std::string& strImagePath, std::string* pPath) {
    const size_t nNameChars = platform::CountCodePoints(platform::FileNameOf(strImagePath));
    if (!PathFits(strImagePath) || nNameChars <= kDecryptedSuffixChars) return false;
    const size_t nChars = platform::CountCodePoints(strImagePath) - kDecryptedSuffixChars;
    *pPath = std::string(platform::TruncateCodePoints(strImagePath, nChars));
    return true;
}

// The decrypted image as the entry's data, in kPackagePieceSize pieces. A missing image leaves
// the entry empty; false on a read or zip error.
bool WriteImageEntry(zipFile zip, const std::string& strImagePath) {
    platform::CFileStream image;
    if (!image.Open(strImagePath, platform::CFileStream::Mode::kReadExisting)) return true;
    std::vector<uint8_t> piece(kPackagePieceSize);
    while (true) {
        size_t nRead = 0;
        if (!ReadFull(image, piece.data(), piece.size(), &nRead)) return false;
        if (nRead == 0) return true;
        if (zipWriteInFileInZip(zip, piece.data(), static_cast<unsigned>(nRead)) != ZIP_OK) {
            return false;
        }
    }
}

// Adds the entry "image" to the archive; false when the archive was not completed.
bool AddImageEntry(const std::string& strPackagePath, const std::string& strImagePath) {
    zipFile zip = zipOpen(strPackagePath.c_str(), APPEND_STATUS_ADDINZIP);
    if (zip == nullptr) return false;
    bool bDone = zipOpenNewFileInZip(zip, "image", nullptr, nullptr, 0, nullptr, 0, nullptr,
                                     Z_DEFLATED, Z_DEFAULT_COMPRESSION) == ZIP_OK;
    if (bDone) {
        bDone = WriteImageEntry(zip, strImagePath);
        bDone = zipCloseFileInZip(zip) == ZIP_OK && bDone;
    }
    return zipClose(zip, nullptr) == ZIP_OK && bDone;
}

bool SendFile(CBoxChannel& channel, IOperationReport& report, const std::string& strPath,
              const std::string& strBoxName, const std::string& strMd5) {
    platform::CFileStream file;
    if (!file.Open(strPath, platform::CFileStream::Mode::kReadExisting)) return false;
    const bool bSent = DownloadFileToBox(channel, report, strBoxName, file, strMd5);
    file.Close();
    return bSent;
}

bool SendFlashPackage(CBoxChannel& channel, IOperationReport& report,
                      const std::string& strPackagePath) {
    BuildLegacyFlashPackage(strPackagePath);
    std::string strMd5;
    Md5FileHex(strPackagePath, &strMd5);
    const bool bSent = SendFile(channel, report, strPackagePath, kFlashPackageBoxName, strMd5);
    platform::RemoveFile(strPackagePath);
    return bSent;
}

}  // namespace

int DecryptImageFile(const std::string& strSource, const std::string& strKey,
                     const std::string& strDestination) {
    if (strKey.empty() || strKey.size() > kMaxKeyLength) return kDecryptNoSource;
    platform::CFileStream source, destination;
    if (!source.Open(strSource, platform::CFileStream::Mode::kReadExisting)) {
        return kDecryptNoSource;
    }
    if (!destination.Open(strDestination, platform::CFileStream::Mode::kCreateAlways)) {
        return kDecryptWriteFailed;
    }
    // A delayed write error shows only when the file is closed.
    const bool bWritten = CryptBlocks(source, destination, strKey) && destination.Close();
    if (bWritten) return kDecryptOk;
    destination.Close();
    platform::RemoveFile(strDestination);
    return kDecryptWriteFailed;
}

bool BuildUpdatePath(const std::string& strName, std::string* pPath) {
    if (strName.empty() || strName == "." || strName == ".." ||
        strName.find_first_of("/\\") != std::string::npos) {
        return false;
    }
    *pPath = platform::JoinPath(platform::JoinPath(platform::GetProgramDirectory(), kUpdateFolder),
                                strName);
    return PathFits(*pPath);
}

void BuildLegacyFlashPackage(const std::string& strPackagePath) {
    const std::string kernel(PackageKernel(platform::FileNameOf(strPackagePath)));
    std::string strBasePath, strImagePath;
    if (!PathFits(strPackagePath) || !BuildUpdatePath("update" + kernel, &strBasePath) ||
        !BuildUpdatePath("image" + kernel, &strImagePath)) {
        return;
    }
    // A package left behind by an earlier run must not be sent in place of this one.
    platform::RemoveFile(strPackagePath);
    if (!platform::CopyFileBytes(strBasePath, strPackagePath)) return;
    if (!AddImageEntry(strPackagePath, strImagePath)) platform::RemoveFile(strPackagePath);
}

bool UpdateFirmwareImage(CBoxChannel& channel, IOperationReport& report,
                         const std::string& strImagePath, const std::string& strBoxName,
                         const std::string& strMd5, bool bLegacy) {
    std::string strDecryptedPath, strPackagePath;
    if (!DecryptedPathOf(strImagePath, &strDecryptedPath) ||
        (bLegacy && !BuildUpdatePath(PackageNameFor(strImagePath), &strPackagePath))) {
        report.RunPageScript("open_src_file_failed", kScriptLocalizedLine);
        return false;
    }
    const int nDecrypted = DecryptImageFile(strImagePath, kImageKey, strDecryptedPath);
    if (nDecrypted != kDecryptOk) {
        report.RunPageScript(
            nDecrypted == kDecryptNoSource ? "open_src_file_failed" : "crypt_file_failed",
            kScriptLocalizedLine);
        return false;
    }
    std::string strDecryptedMd5;
    Md5FileHex(strDecryptedPath, &strDecryptedMd5);
    bool bSent = false;
    if (strDecryptedMd5 != strMd5) {
        report.RunPageScript("md5_error", kScriptLocalizedLine);
    } else if (bLegacy) {
        bSent = SendFlashPackage(channel, report, strPackagePath);
    } else {
        bSent = SendFile(channel, report, strDecryptedPath, strBoxName, strDecryptedMd5);
    }
    platform::RemoveFile(strDecryptedPath);
    return bSent;
}
