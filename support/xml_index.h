// The element index of an XML document: one record per element with its text offsets and its
// tree links. Records live in blocks of 65536, so a position (block × 65536 + record) stays
// valid while elements are added. Position 0 is the document itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xml {

struct ElementRecord {
    uint32_t nStart = 0;   // offset of the start tag's '<'
    uint32_t nTagLen = 0;  // length of the start tag
    uint32_t nLen = 0;     // length of the whole element, end tag included
    uint32_t nParent = 0;
    uint32_t nPrev = 0;  // previous sibling
    uint32_t nNext = 0;  // next sibling
    uint32_t nFirstChild = 0;
    uint32_t nFlags = 0;
};

class ElementIndex {
  public:
    static constexpr uint32_t kBlockSize = 65536;
    enum : uint32_t {
        kUsed = 0x1,
        kEmptyTag = 0x2,         // written as <name/>
        kUnended = 0x4,          // no end tag was found
        kNotWellFormed = 0x100,  // on the document record
    };

    // Drops all records and sizes the first block for a text of that length.
    void Reset(size_t nTextLen);
    // A new record marked used, not yet linked.
    uint32_t Add();

    ElementRecord& operator[](uint32_t pos) {
        return m_aBlocks[pos / kBlockSize][pos % kBlockSize];
    }
    const ElementRecord& operator[](uint32_t pos) const {
        return m_aBlocks[pos / kBlockSize][pos % kBlockSize];
    }

    // Links pos under parent after prev (prev 0 = as the first child).
    void Link(uint32_t pos, uint32_t parent, uint32_t prev);
    // Takes pos and everything below it out of the tree and frees the records.
    void Remove(uint32_t pos);
    uint32_t LastChild(uint32_t parent) const;
    // The element whose start tag begins at nStart; 0 when there is none.
    uint32_t FindStart(size_t nStart) const;

    // Keeps offsets in step after the text range [nOffset, nOffset + nOldLen) was replaced by
    // nNewLen characters inside element context: context and its ancestors change length,
    // elements that start after the range move.
    void AdjustForEdit(uint32_t context, size_t nOffset, size_t nOldLen, size_t nNewLen);

    size_t Count() const { return m_nCount; }

  private:
    std::vector<std::vector<ElementRecord>> m_aBlocks;
    std::vector<uint32_t> m_aFree;
    size_t m_nCount = 0;  // records handed out, freed ones included
};

}  // namespace xml
