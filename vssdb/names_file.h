// names.dat: the long names of items whose name does not fit the short name field.
//
// Records are read when first asked for, so a damaged record spoils only the items that
// point at it, not the whole database.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vssdb/physical_file.h"

namespace vssdb {

class NamesFile {
  public:
    // A database without names.dat has no long names.
    NamesFile() = default;
    explicit NamesFile(PhysicalFile file);

    bool present() const { return present_; }

    // The display name stored for a name field's names.dat offset: kind 10 for projects,
    // kind 2 for files. Nothing when the record has no such entry or names.dat is absent.
    // Throws Error(kCorrupt) when the offset does not point at a well-formed SN record.
    std::optional<std::string> LongName(std::uint32_t offset, bool project) const;

    // Every string of every readable SN record (for code page detection). Stops quietly
    // at the first damaged record: the lookups above report damage where it matters.
    void ForEachText(const std::function<void(std::string_view)>& visit) const;

  private:
    using Entries = std::vector<std::pair<std::uint16_t, std::string>>;  // kind, bytes
    Entries ParseRecord(std::size_t offset) const;

    bool present_ = false;
    PhysicalFile file_;
    mutable std::unordered_map<std::uint32_t, Entries> cache_;
};

}  // namespace vssdb
