// Paths of the package files: a narrow path of unknown encoding turned into a UTF-16 path,
// and the one way the package reader, the branding import and the file digest open a file.
#pragma once

#include <cstdint>
#include <string>

// Converts a narrow path to UTF-16, finding its encoding in this order: all bytes below 0x80
// -> the system code page; well-formed UTF-8 (five- and six-byte forms included) -> UTF-8;
// well-formed GBK -> GB18030. 0 (an empty path gives an empty result); -1 when the encoding
// is none of these (or out is null); -3 when the conversion yields nothing; -5 when it fails
// (such as a five-byte form, which has no UTF-16 form).
int NarrowToWidePath(const std::string& strNarrow, std::u16string* pOut);

// Opens a file as a descriptor for platform::CFileStream::Attach: for reading, or with bWrite
// for reading and writing, created with read and write permission for the owner, its missing
// parent folders made first, an existing file not truncated. With pSize, its size is measured
// and the position left at the start. 0; -2 the folders cannot be made; -3 the open fails; -4
// or -5 a seek fails (the descriptor is then closed).
int OpenFileForIo(const std::u16string& strPath, bool bWrite, int* pFd, int64_t* pSize);
