// The name field of records (see name_format.h).
#pragma once

#include <cstdint>
#include <string>

#include "vssdb/byte_view.h"

namespace vssdb {

struct NameField {
    std::uint16_t flags = 0;
    std::string shortName;          // raw bytes, spaces shown as '_'
    std::uint32_t namesOffset = 0;  // SN record in names.dat, 0 for none

    bool isProject() const;
};

NameField ReadNameField(const ByteView& body, std::size_t offset);

}  // namespace vssdb
