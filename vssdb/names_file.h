// names.dat: the long names of items whose name does not fit the short name field.
//
// The file is read once, record by record, when the database opens: that gives the places
// where name records start, each checked against its checksum. A name field's offset must
// be one of them. A damaged record spoils only the items that point at it, and a break in
// the framing only the names recorded after it.
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
    // Throws Error(kCorrupt) when no intact name record starts at the offset.
    std::optional<std::string> LongName(std::uint32_t offset, bool project) const;

    // Every string of every intact name record (for code page detection).
    void ForEachText(const std::function<void(std::string_view)>& visit) const;

  private:
    using Entries = std::vector<std::pair<std::uint16_t, std::string>>;  // kind, bytes
    struct Place {
        std::uint32_t offset;  // of the record header
        std::uint32_t end;     // one past its body
        bool intact;           // a name record whose checksum holds
    };
    // What a lookup found at an offset: its entries, or why there are none.
    struct Lookup {
        Entries entries;
        std::optional<Error> error;
    };

    void IndexRecords();
    Lookup Find(std::uint32_t offset) const;
    Entries ParseEntries(const Record& record) const;

    bool present_ = false;
    PhysicalFile file_;
    std::vector<Place> places_;          // in file order
    std::optional<Error> framingError_;  // where reading the records in order stopped
    std::uint32_t framingErrorOffset_ = 0;
    // Recent lookups: many items share a record's neighbourhood, and a damaged record is
    // often named by many items. Emptied when full, so its size stays bounded.
    mutable std::unordered_map<std::uint32_t, Lookup> recent_;
};

}  // namespace vssdb
