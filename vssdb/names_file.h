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

#include "vssdb/error.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_reader.h"

namespace vssdb {

class NamesFile {
  public:
    // A database without names.dat has no long names.
    NamesFile() = default;
    explicit NamesFile(PhysicalFile file);

    bool present() const { return present_; }

    // The display name stored for a name field's names.dat offset: kind 10 for projects,
    // kind 2 for files. Nothing when the record has no such entry or names.dat is absent.
    // Throws Error(kCorrupt) when the offset does not point at a well-formed SN record, or
    // at one that overlaps a record found before.
    std::optional<std::string> LongName(std::uint32_t offset, bool project) const;

    // Every string of every readable SN record (for code page detection). Stops quietly
    // at the first damaged record: the lookups above report damage where it matters.
    void ForEachText(const std::function<void(std::string_view)>& visit) const;

  private:
    using Entries = std::vector<std::pair<std::uint16_t, std::string>>;  // kind, bytes
    // What a lookup found at an offset: its entries, or why there are none. Failures are
    // remembered too, so that many names pointing at one damaged record cost one reading.
    struct Lookup {
        Entries entries;
        std::optional<Error> error;
    };
    Lookup Find(std::uint32_t offset) const;
    Entries ParseEntries(const Record& record) const;

    bool present_ = false;
    PhysicalFile file_;
    mutable std::unordered_map<std::uint32_t, Lookup> cache_;
    // Records found by offset may not overlap, or each lookup could check the same bytes.
    mutable DisjointRecords records_;
};

}  // namespace vssdb
