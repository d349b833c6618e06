// The one XML document class for every XML file the program reads or writes. It keeps the
// whole document as text plus an index of its elements, and navigates with three positions:
// the parent, the current element and the current child. Edits change the text in place and
// keep the index equal to what a fresh parse of the new text would give, in broken documents as
// well; an edit that cannot be made that way is refused and changes nothing. All text crossing
// this interface is UTF-8.
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
    // Deletes the current element with the white space after it (within its parent); the previous
    // sibling becomes current (none when it was the first).
    bool RemoveElement();

    // Attribute values are decoded on reading and escaped on writing. A set that the tag would not
    // read back as given (broken attribute syntax around it) is refused, as is a name that the
    // encoding the document declares cannot hold.
    std::string GetAttribute(const std::string& name) const;
    std::string GetChildAttribute(const std::string& name) const;
    bool SetAttribute(const std::string& name, const std::string& value);
    bool SetChildAttribute(const std::string& name, const std::string& value);
    // Adds <name>value</name> after the current element (after the last sibling when there is
    // none) and makes it current; InsertChildElement does the same one level down. Refused when
    // a parse would not find the new element there: after an unended element everything up to
    // where that one is closed belongs to it.
    bool InsertElement(const std::string& name, const std::string& value);
    bool InsertChildElement(const std::string& name, const std::string& value);

    const std::string& GetText() const { return m_strText; }
    const std::string& GetResult() const { return m_strResult; }
    int GetFlags() const { return m_nFlags; }
    void SetFlags(int flags) { m_nFlags = flags; }

  private:
    // Where new text goes for an insertion: the range [nOffset, nOffset + nOldLen) is replaced
    // by strBefore + element + strAfter.
    static constexpr size_t kNoPlace = static_cast<size_t>(-1);  // nothing can go there
    struct Placement {
        size_t nOffset = 0;
        size_t nOldLen = 0;
        std::string strBefore;
        std::string strAfter;
    };
    // One text change: [nOffset, nOffset + nOldLen) becomes strNew.
    struct Edit {
        size_t nOffset = 0;
        size_t nOldLen = 0;
        std::string strNew;
    };
    static constexpr size_t kNoStart = static_cast<size_t>(-1);

    bool IsFileMode() const { return (m_nFlags & (kReadFile | kWriteFile)) != 0; }
    bool AssignText(std::string text);
    bool ParseIndex();
    std::string_view NameOf(uint32_t pos) const;
    uint32_t EndOf(uint32_t pos) const { return m_index[pos].nStart + m_index[pos].nLen; }
    std::string IndentOf(size_t offset) const;
    uint32_t FindNext(uint32_t parent, uint32_t after, const std::string& name) const;
    bool NameFits(const std::string& name) const;
    std::string AttributeOf(uint32_t pos, const std::string& name) const;
    bool SetAttributeOf(uint32_t pos, const std::string& name, const std::string& value);
    uint32_t InsertUnder(uint32_t parent, uint32_t after, const std::string& name,
                         const std::string& value);
    Placement PlaceAfter(uint32_t prev) const;
    Placement PlaceInside(uint32_t parent) const;

    // Two ways to keep the index in step with an edit. In a well-formed document every element
    // is closed by its own end tag, so a whole element added or removed below the root changes
    // nothing else: the index is updated in place (ReplaceText; context is the element whose
    // content changes). In a broken document the structure after an edit can depend on the
    // broken parts (an unended element takes in what is added at its end, an unterminated
    // comment swallows it), and edits at the top level change whether the document is well
    // formed; there ReparseEdit parses the edited text afresh.
    bool CanEditInPlace(uint32_t parent) const;
    bool Fits(const Edit& edit) const;
    bool ReplaceText(uint32_t context, const Edit& edit);
    // Where the start tag of pos lies after the edit; kNoStart for none or when it is replaced.
    size_t StartAfter(uint32_t pos, const Edit& edit) const;
    // A parse numbers its records anew, so the held positions are found again by the offsets of
    // their start tags. With nNewStart given, the element starting there must come out as a
    // child of parent, else nothing changes and the result is false; *pNew receives it.
    bool ReparseEdit(const Edit& edit, uint32_t parent, size_t nNewStart, uint32_t* pNew);

    std::string m_strText;
    std::string m_strResult;
    uint32_t m_nParent = 0;
    uint32_t m_nPos = 0;
    uint32_t m_nChild = 0;
    int m_nFlags = 0;
    xml::ElementIndex m_index;
};
