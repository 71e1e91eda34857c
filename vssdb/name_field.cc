#include "vssdb/name_field.h"

#include "vssdb/name_format.h"

namespace vssdb {

bool NameField::isProject() const {
    return (flags & name_format::kProjectFlag) != 0;
}

NameField ReadNameField(const ByteView& body, std::size_t offset) {
    namespace nf = name_format;
    NameField name;
    name.flags = body.U16(offset + nf::kFlagsOffset);
    name.shortName = std::string(body.CString(offset + nf::kShortNameOffset, nf::kShortNameSize));
    name.namesOffset = body.U32(offset + nf::kNamesOffsetOffset);
    return name;
}

}  // namespace vssdb
