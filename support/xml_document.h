// The one XML document class for every XML file the program reads or writes. It keeps the
// whole document as text plus an index of its elements, and navigates with three positions:
// the parent, the current element and the current child. Edits change the text in place and
// keep the index in step. All text crossing this interface is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/xml_index.h"

class XmlDocument {
  public:
    // Document flags.
    enum : int {
        kUtf16Le = 0x1,
        kUtf8Bom = 0x4,
        kReadFile = 0x10,
        kWriteFile = 0x20,
        kAppendFile = 0x40,
        kUtf16Be = 0x80,
    };

    XmlDocument();

    // Replaces the text and parses it; returns the well-formedness result.
    bool SetText(const std::string& text);
    // Rebuilds the index from the text and resets the positions. True when the document has
    // exactly one root element and no structural error was found.
    bool ParseText();
    // Reads the file (see ReadTextFile) and parses it. True when it was read whole and is well
    // formed. Leaves the byte-order-mark flags found, so that SaveFile writes the mark back.
    bool LoadFile(const std::string& path);
    // Writes the text in the encoding it declares (UTF-8 when none); appends with kAppendFile.
    bool SaveFile(const std::string& path);

    // The file layer: reads/writes a whole text file with byte-order-mark and encoding handling,
    // recording what happened in *result. *flags reports (read) or chooses (write) the encoding.
    static bool ReadTextFile(const std::string& path, std::string* text, std::string* result,
                             int* flags);
    static bool WriteTextFile(const std::string& path, const std::string& text, std::string* result,
                              int* flags);

    // Navigation. An empty name matches any element. While kReadFile or kWriteFile is set,
    // navigation and editing refuse to work and return false (or an empty text).
    void Rewind();
    // The next element after the current one among the parent's children; it becomes current.
    bool FindSibling(const std::string& name = "");
    // The next child of the current element after the current child. Without a current element
    // the first element at the current level becomes current first.
    bool FindChild(const std::string& name = "");
    // The current element becomes the parent and the current child the current element.
    bool EnterElement();
    // Deletes the current element with the white space after it; the previous sibling becomes
    // current (none when it was the first).
    bool RemoveElement();

    // Attribute values are decoded on reading and escaped on writing.
    std::string GetAttribute(const std::string& name) const;
    std::string GetChildAttribute(const std::string& name) const;
    bool SetAttribute(const std::string& name, const std::string& value);
    bool SetChildAttribute(const std::string& name, const std::string& value);
    // Adds <name>value</name> after the current element (after the last sibling when there is
    // none) and makes it current; InsertChildElement does the same one level down.
    bool InsertElement(const std::string& name, const std::string& value);
    bool InsertChildElement(const std::string& name, const std::string& value);

    const std::string& GetText() const { return m_strText; }
    const std::string& GetResult() const { return m_strResult; }
    int GetFlags() const { return m_nFlags; }
    void SetFlags(int flags) { m_nFlags = flags; }

  private:
    // Where new text goes for an insertion: the range [nOffset, nOffset + nOldLen) is replaced
    // by strBefore + element + strAfter.
    struct Placement {
        size_t nOffset = 0;
        size_t nOldLen = 0;
        std::string strBefore;
        std::string strAfter;
    };

    bool IsFileMode() const { return (m_nFlags & (kReadFile | kWriteFile)) != 0; }
    bool AssignText(std::string text);
    bool ParseIndex();
    std::string_view NameOf(uint32_t pos) const;
    uint32_t EndOf(uint32_t pos) const { return m_index[pos].nStart + m_index[pos].nLen; }
    std::string IndentOf(size_t offset) const;
    uint32_t FindNext(uint32_t parent, uint32_t after, const std::string& name) const;
    std::string AttributeOf(uint32_t pos, const std::string& name) const;
    bool SetAttributeOf(uint32_t pos, const std::string& name, const std::string& value);
    uint32_t InsertUnder(uint32_t parent, uint32_t after, const std::string& name,
                         const std::string& value);
    Placement PlaceAfter(uint32_t prev) const;
    Placement PlaceInside(uint32_t parent) const;
    bool ReplaceText(uint32_t context, size_t offset, size_t oldLen, std::string_view newText);

    std::string m_strText;
    std::string m_strResult;
    uint32_t m_nParent = 0;
    uint32_t m_nPos = 0;
    uint32_t m_nChild = 0;
    int m_nFlags = 0;
    xml::ElementIndex m_index;
};
