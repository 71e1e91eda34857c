// An item's log file: its header (DH) and its versions (EL, with comments in MC).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vssdb/log_window.h"
#include "vssdb/name_field.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_reader.h"

namespace vssdb {

enum class ItemType : std::uint16_t { kProject = 1, kFile = 2 };

struct ItemHeader {
    ItemType type = ItemType::kProject;
    std::uint16_t revisionCount = 0;
    NameField name;
    std::uint16_t firstVersion = 1;
    char dataExtension = 'A';  // current data file: .A or .B
    std::uint32_t firstRevision = 0;
    std::uint32_t lastRevision = 0;
    std::uint32_t dataEnd = 0;  // the size of the log
    // Projects.
    std::uint16_t childCount = 0;       // entries of the child list, deleted ones included
    std::uint16_t subprojectCount = 0;  // of those, projects
    std::string parentSpec;
    std::string parentPhysical;
    // Files.
    std::uint16_t fileFlags = 0;
    std::string branchSource;  // physical name, empty unless branched
    std::uint32_t lastParentRecord = 0;
    std::uint16_t parentCount = 0;
    std::uint32_t activeCheckout = 0;  // offset of a CF record; 0 unless checked out now
    std::uint32_t dataCrc = 0;         // of the current data file (Crc32ZeroInit)
};

// One EL record. Texts are raw bytes in the database's code page. Which of the
// action-specific fields are set depends on the action (see revision_format.h).
struct Revision {
    std::uint32_t offset = 0;
    std::uint32_t previous = 0;  // offset of the next older version, 0 for version 1
    std::uint16_t action = 0;
    std::uint16_t version = 0;
    std::uint32_t time = 0;  // seconds, the writer's wall clock
    std::string user;
    // A label its users removed keeps its record with the first byte of the name set to
    // zero: `label` is then what can still be read after that byte.
    std::string label;
    bool labelRemoved = false;
    std::string comment;  // up to the first NUL; CR LF as stored
    std::string labelComment;

    NameField name;                  // the item acted on; the new name of a rename
    NameField oldName;               // renames
    std::string spec;                // check-in project, move and share source
    std::string physical;            // physical name of the item acted on
    std::string branchSource;        // branches
    std::string archivePath;         // archive and restore
    std::int16_t shareKind = 0;      // 14: -1 share, 0 pin, >0 unpin
    std::int16_t pinnedVersion = 0;  // 14: pin target
    std::int16_t purged = 0;         // 4, 5: 1 when a deleted item was purged
    std::uint32_t delta = 0;         // 17: offset of the reverse delta (FD) in this log
    // Set by Database::History on a branched file's versions below its branch point: the
    // physical name of the log they were read from (the source's, or one further back).
    std::string branchLog;
};

// The fields of an EL record, without its comments (those live in separate MC records).
Revision ParseRevision(const Record& record);

// The item header of a log file whose file header was checked, with the checks ItemLog
// makes: an intact DH record of the usual size, a known item type, a newest version, and
// an end of the data that lies after the header and not past the end of the file, which
// is `fileSize` bytes long (`head` holds its first bytes) or, without it, `head` itself.
ItemHeader ParseItemHeader(const ByteView& head);
ItemHeader ParseItemHeader(const ByteView& head, std::size_t fileSize);

// A log opened for reading its records, up to the end of the data its item header records.
// A small log is read whole at once; a larger one record by record (LogWindow), with the
// window reaching `direction`.
struct OpenedLog {
    ItemHeader header;
    std::unique_ptr<RecordSource> records;
};

// Checks the file header (CheckItemFileHeader) and the item header (ParseItemHeader), and
// throws as they do. Logs of up to `wholeReadLimit` bytes are read whole.
OpenedLog OpenLog(const std::string& path, ReadDirection direction,
                  std::size_t wholeReadLimit = kWholeLogReadLimit);

class ItemLog {
  public:
    // Reads and checks the file header and the item header. Throws Error(kIncompatible)
    // for an older format, Error(kCorrupt) for damage, Error(kNotFound) when missing.
    // Only the bytes up to the end of the data that the item header records are used:
    // bytes past it are not part of the log yet (a client writes a new version before the
    // header that takes it in). A file that ends before that is damage. Of a large log only
    // the records that the history needs are read later, and the content deltas never.
    static ItemLog Read(const std::string& path);
    // A log whose bytes are all in memory.
    explicit ItemLog(PhysicalFile file);
    explicit ItemLog(OpenedLog opened);

    const std::string& path() const { return records_->path(); }
    // The log's records, for reading those beside the versions (see file_records.h). A
    // record's views are valid until the next read.
    RecordSource& records() const { return *records_; }
    const ItemHeader& header() const { return header_; }

    // Every version, newest first, following the chain from the header's last revision.
    // A chain that loops, leaves the file, reaches a record that is not an EL, or whose
    // records (versions and comments) overlap each other is an error. So is one that
    // disagrees with the header's count (see ReadLatestRevision), or whose version numbers
    // do not fall from each version to the one before it: a record duplicated or removed
    // inside the log shifts the records after it, and the chain then reaches other ones.
    std::vector<Revision> ReadRevisions() const;

    // Only the newest version (the item's current version number). Its number must be
    // the one the header counts to: the first version of this log plus the number of
    // versions, less one.
    Revision ReadLatestRevision() const;

  private:
    void CheckNewest(const Revision& newest) const;
    Revision ReadRevisionAt(DisjointRecords& records, std::size_t offset) const;
    std::string ReadComment(DisjointRecords& records, std::size_t revisionOffset,
                            std::uint32_t offset, std::uint16_t length) const;

    // Held by pointer: the views it hands out name the file through it. Reading moves its
    // window, which no caller sees: hence reads from const members.
    std::unique_ptr<RecordSource> records_;
    ItemHeader header_;
};

}  // namespace vssdb
