// The connection parameter model: callers address a connection's settings by dotted names
// ("port.name", "network.host", "security.auth.pwd"); the schema the library carries says where
// each one lives in the connection document and which values it takes.
#pragma once

#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "tnl/oleauto.h"
#include "tnl/tnl_status.h"

namespace tnl {

enum class EValueType { kInt, kString, kArray, kOther };
enum class EDataType { kTag, kAttribute, kArray, kOther };

// One parameter as the schema describes it.
struct ParamInfo {
    std::string strPath;  // lower-case path below the document root, "port/sendmode/mode"
    EValueType eValueType = EValueType::kOther;
    EDataType eDataType = EDataType::kOther;
    std::vector<std::string> fields;  // field names of an array entry, in order
};

// "Port.SendMode.Mode" -> "port/sendmode/mode". Names compare without regard to ASCII case.
std::string ParamNameToPath(std::string_view name);

// The stored form of a password: per UTF-16 unit, the low byte of its complement as two
// upper-case hex digits ("abc" -> "9E9D9C"). There is no decoding.
std::string EncodePassword(std::u16string_view text);

// Leading decimal digits with an optional sign, after leading blanks; no digits give 0;
// values beyond 32 bits saturate.
int32_t ReadLeadingInt(std::string_view text);

class CParamSchema {
  public:
    // Parses the schema carried by the library (stored with a byte-order mark).
    Status Load();
    void Release() { m_pDoc.reset(); }
    bool IsLoaded() const { return m_pDoc != nullptr; }

    // kInvalidParameter unless the name is a parameter (an element with both type attributes).
    Status Lookup(std::string_view name, ParamInfo* info) const;

  private:
    std::unique_ptr<pugi::xml_document> m_pDoc;
};

// Reads the parameter from a connection document into *value (cleared first): VT_I4 for int,
// VT_BSTR for string, an array of arrays of VT_BSTR for array (VT_EMPTY without entries).
// kNotFound when its place is missing.
Status ReadParam(const ParamInfo& info, const std::string& document, VARIANT* value);

// Writes the parameter into a copy of the document. On success *newDocument is the whole new
// document; on failure it is untouched (an array write that fails half-way stores nothing).
Status WriteParam(const ParamInfo& info, const std::string& document, const VARIANT& value,
                  std::string* newDocument);

}  // namespace tnl
