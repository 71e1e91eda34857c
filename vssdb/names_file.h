// names.dat: the long names of items whose name does not fit the short name field.
//
// Only the records up to the end its header (HN) records are read and indexed, once, when
// the database opens: that gives the places where name records start, each checked
// against its checksum. A name field's offset must be one of them. A damaged record spoils
// only the items that point at it, and a break in the framing only the names recorded
// after it. A names.dat that is missing or cannot be read spoils every item that points
// into it. Such an item is shown under its short name, flagged (Database::NameToShow).
//
// A record added to or lost from the middle shifts every record after it, every checksum
// still right: items would take each other's names. The short name field tells (it is the
// long name with spaces as '_', leading dots dropped, cut to 33 bytes), and so does the
// header's end offset, which is the file's size in every real database.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vssdb/error.h"
#include "vssdb/name_field.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_reader.h"

namespace vssdb {

class NamesFile {
  public:
    // A names.dat that cannot be read: every name that points into it fails with `why`.
    static NamesFile Unreadable(Error why);
    // names.dat as read by ReadNamesFile, or made in memory.
    explicit NamesFile(PhysicalFile file);
    // No names.dat at all.
    NamesFile();

    // Reads what the header of the names.dat at `path` says the file holds, no more.
    // Throws as PhysicalFile::Read.
    static PhysicalFile ReadNamesFile(const std::string& path);

    // The display name stored for a name field's names.dat offset: kind 10 for projects,
    // kind 2 for files. Nothing when the record has no such entry or the offset is 0.
    // Throws Error(kCorrupt) when no intact name record starts at the offset, and the
    // error that keeps names.dat from being read when it cannot be.
    std::optional<std::string> LongName(std::uint32_t offset, bool project) const;

    // The long name a name field points at (the other of the two kinds when the record
    // lacks the one asked for: a few databases file them the other way round), checked
    // against the field's short name. Nothing when the field points nowhere or the record
    // holds only DOS and Mac names. Throws as LongName, and Error(kCorrupt) when the name
    // found is not the item's: it does not fit the short name, or names.dat's size
    // disagrees with its header and the short name cannot confirm it (it is empty or cut,
    // or the record holds no long name).
    std::optional<std::string> LongNameOf(const NameField& field, bool project) const;

    // Every string of every intact name record (for code page detection).
    void ForEachText(const std::function<void(std::string_view)>& visit) const;

  private:
    using Entries = std::vector<std::pair<std::uint16_t, std::string>>;  // kind, bytes
    struct Place {
        std::uint32_t offset;  // of the record header
        std::uint32_t end;     // one past its body
        bool intact;           // its checksum holds
    };
    // What a lookup found at an offset: its entries, or why there are none.
    struct Lookup {
        Entries entries;
        std::optional<Error> error;
    };

    void ReadHeader();
    void IndexRecords(std::size_t start);
    Lookup Find(std::uint32_t offset) const;
    Entries ParseEntries(const Record& record) const;
    void CheckBelongs(const NameField& field, const std::optional<std::string>& longName) const;

    PhysicalFile file_;
    std::optional<Error> unreadable_;     // why no name can be read at all
    std::optional<std::string> resized_;  // how the file's size disagrees with its header
    std::vector<Place> places_;           // name records, in file order
    std::optional<Error> framingError_;   // where reading the records in order stopped
    std::uint32_t framingErrorOffset_ = 0;
    // Recent lookups: many items share a record's neighbourhood, and a damaged record is
    // often named by many items. Emptied when full, so its size stays bounded.
    mutable std::unordered_map<std::uint32_t, Lookup> recent_;
};

}  // namespace vssdb
