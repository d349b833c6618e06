// Moving files between the workstation and the box over the active link. A download sends a
// local file to the box ("Download NAME\r"), an upload fetches one ("Upload NAME PASSWORD\r").
// Both carry the file after a 44-byte header that gives its MD5 text and size; the download is
// closed by the box's acknowledgements, the upload is checked by the MD5 of the written file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "box/box_channel.h"
#include "platform/file_stream.h"
#include "support/operation_report.h"

inline constexpr size_t kTransferHeaderSize = 44;
inline constexpr size_t kTransferChunk = 102400;  // bytes per send and per receive

// The header before the file data, both ways. Integers are little-endian on the wire.
struct TransferHeader {
    uint32_t nHeaderLength = kTransferHeaderSize;
    std::string strMd5;  // up to 32 characters; empty when no digest is available
    uint32_t nFileSize = 0;
};

std::array<char, kTransferHeaderSize> EncodeTransferHeader(const TransferHeader& header);
// Reads a received header. The MD5 text ends at its first NUL and never runs past byte 36; the
// length field is taken as it is. False when fewer than 44 bytes are given.
bool DecodeTransferHeader(const char* pData, size_t nLength, TransferHeader* pHeader);

enum class UploadOutcome { kSuccess, kWrongPassword, kNotAllowed, kFailed };

// Reads the upload status answer ("UpLoadStat:%d", 12 bytes as received over the prepared
// text): 1 wrong password, 2 not allowed, anything else (or no number) 0 = go on.
int ParseUploadStatus(const char* pData, size_t nLength);

// Sends the open file under the box-side name; writes "download_success" or "download_failed"
// and reports progress while the data go out.
bool DownloadFileToBox(CBoxChannel& channel, IOperationReport& report,
                       const std::string& strBoxName, platform::CFileStream& file,
                       const std::string& strMd5);

// Waits for one "okok!\r"; a single "ERROR\r" is tolerated, ten failed receives are not.
bool WaitTransferAck(CBoxChannel& channel);
// Waits for "okokok!" or "END"; "timeout" or ten failed receives fail.
bool WaitTransferEnd(CBoxChannel& channel);

// Fetches the box-side file into strLocalPath, writing the data as they arrive. On a failure
// after the header arrived, the local file is deleted (an older file of that name too).
UploadOutcome UploadFileFromBox(CBoxChannel& channel, IOperationReport& report,
                                const std::string& strBoxName, const std::string& strPassword,
                                const std::string& strLocalPath);
