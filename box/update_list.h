// The firmware update list (Up.ibl in the program directory) and how its entries are held
// against the versions a box reports: which images exist for a box type and kernel, and which
// of them are newer than what the box runs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "box/box_identify.h"

class XmlDocument;

inline constexpr const char* kUpdateListFile = "Up.ibl";
inline constexpr size_t kMaxUpdateRecords = 20;  // further matching entries are not taken
inline constexpr size_t kMaxUpdateText = 259;    // text fields: a 260-byte buffer with its NUL
inline constexpr size_t kMaxVersionLine = 255;   // a box line: a 256-byte buffer with its NUL
inline constexpr size_t kMaxVersionNumbers = 10;

// One image of the list for the box's type and kernel. The texts are 8-bit text of at most
// kMaxUpdateText bytes; longer attribute values are cut (never inside a character).
struct UpdateRecord {
    std::string strImageName;   // ImgName: the encrypted image in the "update" folder
    std::string strBoxName;     // DownName: the image's name on the box side
    std::string strVersionKey;  // VerName: the key the box's version report uses, e.g. "OSVER:"
    std::string strVersion;     // Ver: the image's version text
    std::string strMd5;         // Md5: MD5 text of the decrypted image
    uint32_t nUpdateFlag = 0;   // 1 when the image is to be sent
};

// Reads the records from a loaded list: UpdateInfo at the root, the first ZELVOType whose
// SerialNo equals the record's exactly, then each element whose Kernel attribute, split at every
// '\', has a part equal to the record's kernel text (one record per equal part). At most
// kMaxUpdateRecords. False when no record was collected.
bool LoadUpdateList(XmlDocument& list, const CBoxTypeRecord& boxType,
                    std::vector<UpdateRecord>* pRecords);
// The same from Up.ibl in the program directory; false also when the file is missing.
bool LoadUpdateList(const CBoxTypeRecord& boxType, std::vector<UpdateRecord>* pRecords);

// Reads the version numbers: skips to the first digit, then runs of digits separated by single
// dots; anything else ends the text. At most kMaxVersionNumbers are kept; a number too large
// for an int stays at INT_MAX. Unused places are 0. Returns the count.
size_t ParseVersionNumbers(std::string_view text, std::array<int, kMaxVersionNumbers>* pNumbers);

// True when the list version is newer than the box's: both product tags (after "-P:" up to a
// blank) given and different is never newer; the first numbers must be equal; the rest decide
// from the left.
bool IsNewerVersion(std::string_view listVersion, std::string_view boxVersion);

// The box's line for a version key: from the first match of the key (letter case ignored) up to
// the first "\r", "\n" or the end, cut to kMaxVersionLine bytes. Empty when the key is not
// found.
std::string FindVersionLine(std::string_view report, std::string_view key);

// The first of the kernel names separated by '\'.
std::string FirstKernelName(std::string_view kernels);

// What a check found to update.
struct CUpdateSelection {
    std::string strSummary;  // one line per record to update: box line, strNewText, version
    bool bLegacy = false;    // a record stood for a box that reports no "version" line
};

// Compares each record with the version report and sets the update flag of those to be sent:
// a newer list version; a box line that is exactly "fsFLASHVER:V1.0.0-P:FS"; or a missing
// "version" line (legacy box: the line becomes "version <first kernel>-V1.0.0.00000000") or
// missing "fsFLASHVER:" line. strNewText is the localized text between box line and version.
CUpdateSelection SelectUpdates(std::string_view report, std::string_view kernels,
                               std::string_view newText, std::vector<UpdateRecord>* pRecords);
