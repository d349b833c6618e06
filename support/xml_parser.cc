#include "support/xml_parser.h"

#include <unordered_map>
#include <vector>

#include "support/xml_markup.h"

namespace xml {
namespace {

constexpr size_t kStop = std::string_view::npos;

class Parser {
  public:
    Parser(std::string_view text, ElementIndex* index, std::string* result)
        : m_text(text), m_index(*index), m_result(result) {}

    bool Run();

  private:
    // Each handler takes the offset of a '<' and returns where the walk goes on, or kStop when
    // the rest of the text cannot be read as markup.
    size_t OnStartTag(size_t lt);
    size_t OnEndTag(size_t lt);
    size_t OnExclamation(size_t lt);
    size_t OnDoctype(size_t lt);
    size_t SkipPast(size_t from, std::string_view terminator, std::string_view problem, size_t lt);

    void Problem(std::string_view event, size_t offset, std::string_view tagname = {},
                 size_t offset2 = kStop);
    std::string_view NameOf(uint32_t pos) const { return TagNameAt(m_text, m_index[pos].nStart); }
    void CloseInnermost(size_t end, bool bUnended);
    void CloseUnended(size_t end);

    std::string_view m_text;
    ElementIndex& m_index;
    ResultWriter m_result;
    std::vector<uint32_t> m_aOpen{};   // open elements, innermost last
    std::vector<uint32_t> m_aLast{0};  // last child of the document, then of each open one
    // How many open elements carry each name, so that a stray end tag costs no stack search.
    std::unordered_map<std::string_view, size_t> m_openNames{};
    size_t m_nRoots = 0;
    uint32_t m_nSecondRoot = 0;
    bool m_bWellFormed = true;
};

bool Parser::Run() {
    size_t pos = 0;
    for (;;) {
        const size_t lt = m_text.find('<', pos);
        if (lt == std::string_view::npos) break;
        const char next = lt + 1 < m_text.size() ? m_text[lt + 1] : '\0';
        if (next == '/') {
            pos = OnEndTag(lt);
        } else if (next == '?') {
            pos = SkipPast(lt + 2, "?>", "unterminated_tag_syntax", lt);
        } else if (next == '!') {
            pos = OnExclamation(lt);
        } else if (IsNameStart(next)) {
            pos = OnStartTag(lt);
        } else {
            Problem("first_tag_syntax", lt);
            pos = lt + 1;
        }
        if (pos == kStop) break;
    }
    CloseUnended(m_text.size());
    if (m_nRoots == 0) Problem("no_root_element", m_text.size());
    if (m_nRoots > 1) {
        Problem("root_has_sibling", m_index[m_nSecondRoot].nStart, NameOf(m_nSecondRoot));
    }
    if (!m_bWellFormed) m_index[0].nFlags |= ElementIndex::kNotWellFormed;
    return m_bWellFormed;
}

size_t Parser::OnStartTag(size_t lt) {
    const size_t gt = ScanTagEnd(m_text, ScanNameEnd(m_text, lt + 1));
    if (gt == kStop) {
        Problem("unterminated_tag_syntax", lt, TagNameAt(m_text, lt));
        return kStop;
    }
    const uint32_t pos = m_index.Add();
    if (m_aOpen.empty() && ++m_nRoots == 2) m_nSecondRoot = pos;
    ElementRecord& rec = m_index[pos];
    rec.nStart = static_cast<uint32_t>(lt);
    rec.nTagLen = static_cast<uint32_t>(gt + 1 - lt);
    m_index.Link(pos, m_aOpen.empty() ? 0 : m_aOpen.back(), m_aLast.back());
    m_aLast.back() = pos;
    if (m_text[gt - 1] == '/') {
        rec.nLen = rec.nTagLen;
        rec.nFlags |= ElementIndex::kEmptyTag;
    } else {
        m_aOpen.push_back(pos);
        m_aLast.push_back(0);
        ++m_openNames[NameOf(pos)];
    }
    return gt + 1;
}

// An end tag is "</", a name, optional white space and ">". Anything else is recorded and the
// walk goes on at the first character that does not fit, so that a '<' there starts a tag of
// its own, as it would in any text that an edit puts around it.
size_t Parser::OnEndTag(size_t lt) {
    const size_t nameEnd = ScanNameEnd(m_text, lt + 2);
    if (lt + 2 >= m_text.size() || !IsNameStart(m_text[lt + 2])) {
        Problem("first_tag_syntax", lt);
        return lt + 2;
    }
    const std::string_view name = m_text.substr(lt + 2, nameEnd - (lt + 2));
    size_t gt = nameEnd;
    while (gt < m_text.size() && IsSpace(m_text[gt])) ++gt;
    if (gt == m_text.size() || m_text[gt] != '>') {
        Problem("unterminated_tag_syntax", lt, name);
        return gt;
    }
    const auto open = m_openNames.find(name);
    size_t depth = (open == m_openNames.end() || open->second == 0) ? 0 : m_aOpen.size();
    while (depth > 0 && NameOf(m_aOpen[depth - 1]) != name) --depth;
    if (depth == 0) {
        Problem("lone_end_tag", lt, name);
        return gt + 1;
    }
    // Elements opened inside the matching one and never closed end where their parent ends.
    while (m_aOpen.size() > depth) {
        const uint32_t pos = m_aOpen.back();
        Problem("unended_start_tag", m_index[pos].nStart, NameOf(pos), lt);
        CloseInnermost(lt, true);
    }
    CloseInnermost(gt + 1, false);
    return gt + 1;
}

size_t Parser::OnExclamation(size_t lt) {
    const std::string_view rest = m_text.substr(lt);
    if (rest.starts_with("<!--")) return SkipPast(lt + 4, "-->", "comment_tag_syntax", lt);
    if (rest.starts_with("<![CDATA[")) {
        return SkipPast(lt + 9, "]]>", "cdata_section_syntax", lt);
    }
    if (rest.starts_with("<!DOCTYPE")) return OnDoctype(lt);
    Problem("exclamation_tag_syntax", lt);
    const size_t gt = m_text.find('>', lt);
    return gt == kStop ? kStop : gt + 1;
}

size_t Parser::OnDoctype(size_t lt) {
    const size_t end = ScanDoctypeEnd(m_text, lt);
    if (end == kStop) Problem("doctype_tag_syntax", lt);
    return end;
}

size_t Parser::SkipPast(size_t from, std::string_view terminator, std::string_view problem,
                        size_t lt) {
    const size_t end = m_text.find(terminator, from);
    if (end == kStop) {
        Problem(problem, lt);
        return kStop;
    }
    return end + terminator.size();
}

void Parser::Problem(std::string_view event, size_t offset, std::string_view tagname,
                     size_t offset2) {
    m_bWellFormed = false;
    const std::string strOffset = std::to_string(offset);
    if (tagname.empty()) {
        m_result.Add(event, {{"offset", strOffset}});
    } else if (offset2 == kStop) {
        m_result.Add(event, {{"tagname", std::string(tagname)}, {"offset", strOffset}});
    } else {
        m_result.Add(event, {{"tagname", std::string(tagname)},
                             {"offset", strOffset},
                             {"offset2", std::to_string(offset2)}});
    }
}

void Parser::CloseInnermost(size_t end, bool bUnended) {
    --m_openNames[NameOf(m_aOpen.back())];
    ElementRecord& rec = m_index[m_aOpen.back()];
    rec.nLen = static_cast<uint32_t>(end - rec.nStart);
    if (bUnended) rec.nFlags |= ElementIndex::kUnended;
    m_aOpen.pop_back();
    m_aLast.pop_back();
}

void Parser::CloseUnended(size_t end) {
    while (!m_aOpen.empty()) {
        const uint32_t pos = m_aOpen.back();
        Problem("unended_start_tag", m_index[pos].nStart, NameOf(pos), end);
        CloseInnermost(end, true);
    }
}

}  // namespace

bool ParseDocument(std::string_view text, ElementIndex* index, std::string* result) {
    index->Reset(text.size());
    return Parser(text, index, result).Run();
}

}  // namespace xml
