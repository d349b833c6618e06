#include "support/xml_index.h"

#include <algorithm>

namespace xml {

void ElementIndex::Reset(size_t nTextLen) {
    m_aBlocks.clear();
    m_aFree.clear();
    m_aBlocks.emplace_back();
    // About one element per 64 characters of text is typical for the files we handle.
    const size_t nReserve = std::clamp<size_t>(nTextLen / 64, 8, kBlockSize);
    m_aBlocks[0].reserve(nReserve);
    m_aBlocks[0].emplace_back();
    m_aBlocks[0][0].nLen = static_cast<uint32_t>(nTextLen);
    m_aBlocks[0][0].nFlags = kUsed;
    m_nCount = 1;
}

uint32_t ElementIndex::Add() {
    uint32_t pos;
    if (!m_aFree.empty()) {
        pos = m_aFree.back();
        m_aFree.pop_back();
        (*this)[pos] = ElementRecord{};
    } else {
        pos = static_cast<uint32_t>(m_nCount++);
        if (pos / kBlockSize == m_aBlocks.size()) {
            m_aBlocks.emplace_back();
            m_aBlocks.back().reserve(kBlockSize);
        }
        m_aBlocks[pos / kBlockSize].emplace_back();
    }
    (*this)[pos].nFlags = kUsed;
    return pos;
}

void ElementIndex::Link(uint32_t pos, uint32_t parent, uint32_t prev) {
    ElementRecord& rec = (*this)[pos];
    rec.nParent = parent;
    rec.nPrev = prev;
    if (prev) {
        rec.nNext = (*this)[prev].nNext;
        (*this)[prev].nNext = pos;
    } else {
        rec.nNext = (*this)[parent].nFirstChild;
        (*this)[parent].nFirstChild = pos;
    }
    if (rec.nNext) (*this)[rec.nNext].nPrev = pos;
}

void ElementIndex::Remove(uint32_t pos) {
    const ElementRecord rec = (*this)[pos];
    if (rec.nPrev) {
        (*this)[rec.nPrev].nNext = rec.nNext;
    } else {
        (*this)[rec.nParent].nFirstChild = rec.nNext;
    }
    if (rec.nNext) (*this)[rec.nNext].nPrev = rec.nPrev;

    std::vector<uint32_t> pending{pos};
    while (!pending.empty()) {
        const uint32_t cur = pending.back();
        pending.pop_back();
        for (uint32_t child = (*this)[cur].nFirstChild; child; child = (*this)[child].nNext) {
            pending.push_back(child);
        }
        (*this)[cur].nFlags = 0;
        m_aFree.push_back(cur);
    }
}

uint32_t ElementIndex::LastChild(uint32_t parent) const {
    uint32_t last = 0;
    for (uint32_t child = (*this)[parent].nFirstChild; child; child = (*this)[child].nNext) {
        last = child;
    }
    return last;
}

uint32_t ElementIndex::FindStart(size_t nStart) const {
    for (size_t pos = 1; pos < m_nCount; ++pos) {
        const ElementRecord& rec = (*this)[static_cast<uint32_t>(pos)];
        if ((rec.nFlags & kUsed) && rec.nStart == nStart) return static_cast<uint32_t>(pos);
    }
    return 0;
}

void ElementIndex::AdjustForEdit(uint32_t context, size_t nOffset, size_t nOldLen, size_t nNewLen) {
    const uint32_t nDelta = static_cast<uint32_t>(nNewLen - nOldLen);  // wraps for shrinking
    const size_t nAfter = nOffset + nOldLen;
    for (size_t pos = 1; pos < m_nCount; ++pos) {
        ElementRecord& rec = (*this)[static_cast<uint32_t>(pos)];
        if ((rec.nFlags & kUsed) && rec.nStart >= nAfter) rec.nStart += nDelta;
    }
    for (uint32_t pos = context;; pos = (*this)[pos].nParent) {
        (*this)[pos].nLen += nDelta;
        if (pos == 0) break;
    }
}

}  // namespace xml
