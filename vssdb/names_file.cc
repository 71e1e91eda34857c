#include "vssdb/names_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "vssdb/crc.h"
#include "vssdb/declared_size.h"
#include "vssdb/error.h"
#include "vssdb/name_format.h"
#include "vssdb/names_file_format.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace vssdb {
namespace {

constexpr std::size_t kRecentLookups = 4096;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualAsciiIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

// The short name field SourceSafe writes for a long name: leading dots dropped, spaces as
// '_', cut to 33 bytes.
struct ShortForm {
    explicit ShortForm(std::string_view longName) {
        const std::size_t firstKept = std::min(longName.find_first_not_of('.'), longName.size());
        const std::string_view kept = longName.substr(firstKept);
        text.assign(kept.substr(0, kMaxSize));
        std::replace(text.begin(), text.end(), ' ', '_');
        cut = kept.size() > kMaxSize;
    }

    // Whether a stored short name is this one. Letter case aside, as a rename that changes
    // only the case may not touch both fields alike; and a cut that ends one byte early,
    // as one that keeps a double-byte character whole would.
    bool Matches(std::string_view stored) const {
        return EqualAsciiIgnoringCase(stored, text) ||
               (cut && stored.size() == kMaxSize - 1 &&
                EqualAsciiIgnoringCase(stored, std::string_view(text).substr(0, kMaxSize - 1)));
    }

    static constexpr std::size_t kMaxSize = name_format::kShortNameSize - 1;
    std::string text;
    bool cut = false;
};

}  // namespace

NamesFile::NamesFile() : unreadable_(Error(ErrorKind::kNotFound, "names.dat: file not found")) {}

NamesFile::NamesFile(PhysicalFile file) : file_(std::move(file)) {
    ReadHeader();
}

NamesFile NamesFile::Unreadable(Error why) {
    NamesFile names;
    names.unreadable_ = std::move(why);
    return names;
}

PhysicalFile NamesFile::ReadNamesFile(const std::string& path) {
    return PhysicalFile::ReadDeclared(path, kNamesFileHeadSize, NamesFileDataEnd);
}

void NamesFile::ReadHeader() {
    namespace nf = names_file_format;
    std::uint32_t end = 0;
    try {
        const Record header = ReadRecordAt(file_.view(), 0, record_format::kNamesHeader);
        if (header.body.size() != nf::kHeaderBodySize) {
            ThrowCorruptAt(file_.path(), 0,
                           "header record of " + std::to_string(header.body.size()) + " bytes (" +
                               std::to_string(nf::kHeaderBodySize) + " expected)");
        }
        end = header.body.U32(nf::kHeaderEndOffset);
        if (end < kNamesFileHeadSize) {
            ThrowCorruptAt(file_.path(), 0,
                           "the header puts the end of the names at byte " + std::to_string(end) +
                               ", inside the header itself");
        }
    } catch (const Error& error) {
        unreadable_ = error;
        return;
    }
    file_.KeepFirst(end);
    IndexRecords(kNamesFileHeadSize);
    const std::size_t size = file_.sizeOnDisk();
    if (size < end) {
        // Names were lost: from the end of the file, and perhaps from before it too.
        resized_ = "cut short: the end of the file (" + std::to_string(size) +
                   " bytes) comes before the end of the names (" + std::to_string(end) +
                   " bytes) that its header records";
        if (!framingError_) {
            framingErrorOffset_ = static_cast<std::uint32_t>(file_.bytes().size());
            framingError_ = Error(ErrorKind::kCorrupt, file_.path(), *resized_);
        }
    } else if (size > end && framingError_) {
        // Bytes after the end are no damage by themselves (a client writes a new record
        // before the header that takes it in; a copy may pad the file), but records that
        // no longer end where the header says were moved by one added before them.
        resized_ = "the file is " + std::to_string(size) +
                   " bytes, its header says its names end at byte " + std::to_string(end) +
                   ", and the records do not end there: one was added, and those after it "
                   "have moved";
    }
}

void NamesFile::IndexRecords(std::size_t start) {
    namespace rf = record_format;
    const ByteView view = file_.view();
    std::size_t offset = start;
    while (offset < view.size()) {
        if (view.size() - offset < rf::kHeaderSize ||
            view.U32(offset + rf::kLengthOffset) > view.size() - offset - rf::kHeaderSize) {
            framingErrorOffset_ = static_cast<std::uint32_t>(offset);
            try {
                ReadRecordAt(view, offset);
            } catch (const Error& error) {
                framingError_ = error;
            }
            return;
        }
        const std::uint32_t length = view.U32(offset + rf::kLengthOffset);
        const std::string_view signature = view.Bytes(offset + rf::kSignatureOffset, 2);
        const std::uint16_t stored = view.U16(offset + rf::kCrcOffset);
        const std::string_view body = view.Bytes(offset + rf::kHeaderSize, length);
        // Only name records are indexed: whatever else the bytes frame (zeros, say) is
        // nothing a name may point at, and costs no memory.
        if (signature == rf::kName) {
            places_.push_back(Place{static_cast<std::uint32_t>(offset),
                                    static_cast<std::uint32_t>(offset + rf::kHeaderSize + length),
                                    stored == 0 || stored == RecordCrc(body)});
        }
        offset += rf::kHeaderSize + length;
    }
}

NamesFile::Entries NamesFile::ParseEntries(const Record& record) const {
    namespace nf = names_file_format;
    const ByteView& body = record.body;
    const std::uint16_t count = body.U16(nf::kCount);
    const std::size_t stringsStart = nf::kTable + std::size_t{count} * nf::kTableEntrySize;
    if (stringsStart > body.size()) {
        ThrowCorruptAt(file_.path(), record.offset,
                       "name record lists " + std::to_string(count) + " names but is only " +
                           std::to_string(body.size()) + " bytes long");
    }
    Entries entries;
    entries.reserve(count);
    // Entries may share a string (a DOS name that is also the Mac name), but a record holds
    // one name of each kind at most: thousands of entries naming one long string would
    // each copy it.
    constexpr std::size_t kKinds = 4;
    const std::size_t limit = kKinds * (body.size() - stringsStart);
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint16_t kind = body.U16(nf::kTable + i * nf::kTableEntrySize);
        const std::size_t at = stringsStart + body.U16(nf::kTable + i * nf::kTableEntrySize + 2);
        if (at >= body.size()) {
            ThrowCorruptAt(file_.path(), record.offset,
                           "name " + std::to_string(i) + " starts past the end of its record");
        }
        const std::string_view rest = body.bytes().substr(at);
        const void* nul = std::memchr(rest.data(), 0, rest.size());
        if (nul == nullptr) {
            ThrowCorruptAt(file_.path(), record.offset,
                           "name " + std::to_string(i) + " is not terminated");
        }
        const std::string_view text = rest.substr(0, static_cast<const char*>(nul) - rest.data());
        total += text.size() + 1;
        if (total > limit) {
            ThrowCorruptAt(file_.path(), record.offset,
                           "the names of this record are longer than the record allows");
        }
        entries.emplace_back(kind, std::string(text));
    }
    return entries;
}

NamesFile::Lookup NamesFile::Find(std::uint32_t offset) const {
    try {
        const auto after = std::upper_bound(
            places_.begin(), places_.end(), offset,
            [](std::uint32_t at, const Place& place) { return at < place.offset; });
        if (after != places_.begin()) {
            const Place& place = *(after - 1);
            if (place.offset == offset) {
                // Reading it again reports what is wrong with a damaged one.
                return {ParseEntries(ReadRecordAt(file_.view(), offset, record_format::kName)),
                        std::nullopt};
            }
            if (offset < place.end) {
                ThrowCorruptAt(file_.path(), offset,
                               "a name points inside the record at " + Hex(place.offset) +
                                   " (it overlaps it)");
            }
        }
        if (framingError_ && offset >= framingErrorOffset_) {
            throw *framingError_;
        }
        ThrowCorruptAt(file_.path(), offset, "no name record starts where a name points");
    } catch (const Error& error) {
        return {{}, error};
    }
}

std::optional<std::string> NamesFile::LongName(std::uint32_t offset, bool project) const {
    if (offset == 0) {
        return std::nullopt;
    }
    if (unreadable_) {
        throw *unreadable_;
    }
    auto it = recent_.find(offset);
    if (it == recent_.end()) {
        if (recent_.size() >= kRecentLookups) {
            recent_.clear();
        }
        it = recent_.emplace(offset, Find(offset)).first;
    }
    if (it->second.error) {
        throw *it->second.error;
    }
    const auto wanted = static_cast<std::uint16_t>(
        project ? names_file_format::NameKind::kProjectLong : names_file_format::NameKind::kLong);
    for (const auto& [kind, text] : it->second.entries) {
        if (kind == wanted && !text.empty()) {
            return text;
        }
    }
    return std::nullopt;
}

std::optional<std::string> NamesFile::LongNameOf(const NameField& field, bool project) const {
    std::optional<std::string> longName = LongName(field.namesOffset, project);
    if (!longName) {
        longName = LongName(field.namesOffset, !project);
    }
    if (field.namesOffset != 0) {
        CheckBelongs(field, longName);
    }
    return longName;
}

void NamesFile::CheckBelongs(const NameField& field,
                             const std::optional<std::string>& longName) const {
    // SourceSafe leaves the short field of some names empty (~sak... files): those cannot
    // be checked.
    bool confirmed = false;
    if (longName) {
        const ShortForm expected(*longName);
        if (!field.shortName.empty() && !expected.Matches(field.shortName)) {
            ThrowCorruptAt(file_.path(), field.namesOffset,
                           "the name record here is not this item's: its name does not fit "
                           "the item's short name (a name record added to or lost from "
                           "names.dat moves the records after it)");
        }
        confirmed = !field.shortName.empty() && !expected.cut;
    }
    if (!confirmed && resized_) {
        throw Error(ErrorKind::kCorrupt, file_.path(),
                    *resized_ + "; the name record at " + Hex(field.namesOffset) +
                        " cannot be checked against the item's short name");
    }
}

void NamesFile::ForEachText(const std::function<void(std::string_view)>& visit) const {
    for (const Place& place : places_) {
        if (!place.intact) {
            continue;
        }
        try {
            for (const auto& entry :
                 ParseEntries(ReadRecordAt(file_.view(), place.offset, record_format::kName))) {
                visit(entry.second);
            }
        } catch (const Error&) {
            // The lookups of the items concerned report it.
        }
    }
}

}  // namespace vssdb
