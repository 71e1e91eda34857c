#include "vssdb/text_census.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/item_log.h"
#include "vssdb/name_format.h"
#include "vssdb/physical_file.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"
#include "vssdb/referenced_logs.h"
#include "vssdb/revision_format.h"

namespace vssdb {
namespace {

namespace rv = revision_format;
using rv::Action;

bool HasHighByte(std::string_view s) {
    unsigned char all = 0;  // a plain reduction, which the compiler vectorises
    for (const char c : s) {
        all |= static_cast<unsigned char>(c);
    }
    return all >= 0x80;
}

// A fixed-size text field up to its first NUL, as ByteView::CString reads it.
bool FieldHasHighByte(std::string_view body, std::size_t offset, std::size_t size) {
    const std::string_view field = body.substr(offset, size);
    const void* nul = std::memchr(field.data(), 0, field.size());
    return HasHighByte(
        nul == nullptr ? field : field.substr(0, static_cast<const char*>(nul) - field.data()));
}

bool NameHasHighByte(std::string_view body, std::size_t nameOffset) {
    return FieldHasHighByte(body, nameOffset + name_format::kShortNameOffset,
                            name_format::kShortNameSize);
}

// The action-specific texts, field for field as ParseRevision takes them.
bool ActionTextsHaveHighByte(std::string_view body, Action action) {
    const rv::ActionLayout layout = rv::LayoutOf(action);
    return (layout.name != 0 && NameHasHighByte(body, layout.name)) ||
           (layout.oldName != 0 && NameHasHighByte(body, layout.oldName)) ||
           (layout.spec != 0 && FieldHasHighByte(body, layout.spec, rv::kSpecSize)) ||
           (layout.archivePath != 0 && FieldHasHighByte(body, layout.archivePath, rv::kSpecSize));
}

void VisitIfHigh(std::string_view text, const std::function<void(std::string_view)>& visit) {
    if (HasHighByte(text)) {
        visit(text);
    }
}

bool BearsText(std::string_view signature) {
    return signature == record_format::kItemHeader || signature == record_format::kRevision ||
           signature == record_format::kComment;
}

void VisitRecordTexts(const Record& record, const std::function<void(std::string_view)>& visit) {
    namespace rf = record_format;
    if (record.signature == rf::kItemHeader) {
        VisitIfHigh(record.body.CString(item_header_format::kName + name_format::kShortNameOffset,
                                        name_format::kShortNameSize),
                    visit);
    } else if (record.signature == rf::kRevision) {
        const Revision rev = ParseRevision(record);
        for (const std::string* text : {&rev.user, &rev.label, &rev.name.shortName,
                                        &rev.oldName.shortName, &rev.spec, &rev.archivePath}) {
            VisitIfHigh(*text, visit);
        }
    } else {
        VisitIfHigh(record.body.CString(0, record.body.size()), visit);
    }
}

}  // namespace

// The texts of the log's records in file order, up to its first damaged history record.
// Records are found by their lengths; the content deltas and other records without texts
// are stepped over unread. A history record whose texts are all ASCII gives nothing to
// visit, so it needs its checksum only when a text after it is visited: a log of ASCII
// texts needs none at all.
void ForEachLogText(RecordSource& log, const std::function<void(std::string_view)>& visit) {
    namespace rf = record_format;
    std::vector<std::size_t> unchecked;  // ASCII history records since the last one visited
    try {
        std::size_t offset = file_header_format::kSize;
        while (offset < log.size() && log.size() - offset >= rf::kHeaderSize) {
            const ByteView header = log.Bytes(offset, rf::kHeaderSize);
            const std::uint32_t length = header.U32(rf::kLengthOffset);
            if (length > log.size() - offset - rf::kHeaderSize) {
                break;
            }
            const std::size_t at = offset;
            offset += rf::kHeaderSize + length;
            const std::string signature(header.Bytes(rf::kSignatureOffset, 2));
            if (!BearsText(signature)) {
                continue;
            }
            if (!RecordMayHoldNonAscii(signature,
                                       log.Bytes(at + rf::kHeaderSize, length).bytes())) {
                unchecked.push_back(at);
                continue;
            }
            for (const std::size_t before : unchecked) {
                ReadRecordAt(log, before);
            }
            unchecked.clear();
            VisitRecordTexts(ReadRecordAt(log, at), visit);
        }
    } catch (const Error&) {
        // The item's own reading reports the damage.
    }
}

namespace {

// Non-ASCII texts kept from the logs read before the census is finished; the logs past
// this are read again instead.
constexpr std::size_t kKeptTextBytes = 24 << 20;

// Physical names are eight letters: upper case, they fit a 64-bit number. 0 for anything else.
std::uint64_t Packed(std::string_view physical) {
    if (!IsPhysicalName(physical)) {
        return 0;
    }
    std::uint64_t packed = 0;
    for (const char c : physical) {
        packed =
            packed << 8 | static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return packed;
}

std::string Unpacked(std::uint64_t packed) {
    std::string physical(8, ' ');
    for (int i = 7; i >= 0; --i, packed >>= 8) {
        physical[static_cast<std::size_t>(i)] = static_cast<char>(packed & 0xFF);
    }
    return physical;
}

}  // namespace

void ForEachDatabaseText(const DataFolder& folder, const NamesFile& names,
                         const std::vector<UserRecord>& users,
                         const std::function<void(std::string_view)>& visit) {
    PassingCensus().Finish(folder, names, users, visit);
}

void PassingCensus::LogRead(std::string_view physical, const ItemHeader& header,
                            RecordSource& records) {
    const std::uint64_t key = Packed(physical);
    const bool project = header.type == ItemType::kProject;
    if (key == 0 || (project && projects_.count(key) != 0)) {
        return;
    }
    std::vector<std::string> texts;
    ForEachLogText(records, [&](std::string_view text) { texts.emplace_back(text); });
    Texts kept;
    if (!Keep(texts, kept)) {
        return;  // read again when the census is finished
    }
    if (project) {
        projects_[key].texts = kept;
    } else {
        // A file read twice (shared into two projects) is listed twice: Finish takes the first.
        files_.push_back(File{key, Packed(header.branchSource), kept});
    }
}

// Short texts (user names, labels, names) come back version after version.
constexpr std::size_t kSharedTextSize = 64;
// What a short text costs in the table that shares it, beyond its bytes.
constexpr std::size_t kSharedTextCost = 64;

std::size_t PassingCensus::KeptBytes() const {
    return pool_.size() + spans_.size() * sizeof(spans_.front()) +
           occurrences_.size() * sizeof(occurrences_.front()) +
           shortTexts_.size() * (kSharedTextCost + kSharedTextSize / 2);
}

std::uint32_t PassingCensus::SpanOf(std::string_view text) {
    if (text.size() <= kSharedTextSize) {
        const auto found = shortTexts_.find(std::string(text));
        if (found != shortTexts_.end()) {
            return found->second;
        }
    }
    const auto span = static_cast<std::uint32_t>(spans_.size());
    spans_.emplace_back(static_cast<std::uint32_t>(pool_.size()),
                        static_cast<std::uint32_t>(text.size()));
    pool_ += text;
    if (text.size() <= kSharedTextSize) {
        shortTexts_.emplace(text, span);
    }
    return span;
}

bool PassingCensus::Keep(const std::vector<std::string>& texts, Texts& kept) {
    std::size_t bytes = 0;  // at most: texts met before cost an occurrence only
    for (const std::string& text : texts) {
        bytes += text.size() + sizeof(spans_.front()) + sizeof(occurrences_.front()) +
                 (text.size() <= kSharedTextSize ? kSharedTextCost + kSharedTextSize / 2 : 0);
    }
    if (KeptBytes() + bytes > kKeptTextBytes) {
        return false;
    }
    kept.first = static_cast<std::uint32_t>(occurrences_.size());
    kept.count = static_cast<std::uint32_t>(texts.size());
    for (const std::string& text : texts) {
        occurrences_.push_back(SpanOf(text));
    }
    return true;
}

void PassingCensus::VisitKept(const Texts& texts,
                              const std::function<void(std::string_view)>& visit) const {
    for (std::uint32_t i = texts.first; i < texts.first + texts.count; ++i) {
        const auto [offset, length] = spans_[occurrences_[i]];
        visit(std::string_view(pool_).substr(offset, length));
    }
}

void PassingCensus::ChildListRead(std::string_view physical,
                                  const std::vector<ProjectEntry>& entries) {
    const auto found = projects_.find(Packed(physical));
    if (found == projects_.end()) {
        return;  // its log was not taken in: the census reads both
    }
    found->second.listed = true;
    found->second.children.clear();
    for (const ProjectEntry& entry : entries) {
        found->second.children.push_back(Packed(entry.physical));
    }
}

void PassingCensus::ForEachTextReadSoFar(const std::function<void(std::string_view)>& visit) const {
    VisitKept(Texts{0, static_cast<std::uint32_t>(occurrences_.size())}, visit);
}

void PassingCensus::Finish(const DataFolder& folder, const NamesFile& names,
                           const std::vector<UserRecord>& users,
                           const std::function<void(std::string_view)>& visit,
                           const std::function<void(std::size_t logsDone)>& logDone) {
    std::size_t logsDone = 0;
    const auto done = [&] {
        if (logDone) {
            logDone(++logsDone);
        }
    };
    names.ForEachText([&](std::string_view text) { VisitIfHigh(text, visit); });
    for (const UserRecord& user : users) {
        VisitIfHigh(user.name, visit);
    }
    std::stable_sort(files_.begin(), files_.end(),
                     [](const File& a, const File& b) { return a.physical < b.physical; });
    const auto fileOf = [this](std::uint64_t key) -> const File* {
        const auto at = std::lower_bound(
            files_.begin(), files_.end(), key,
            [](const File& file, std::uint64_t wanted) { return file.physical < wanted; });
        return at != files_.end() && at->physical == key ? &*at : nullptr;
    };
    LookBack lookBack;
    lookBack.find = [&](const std::string& physical, LogReadBefore& known) {
        const std::uint64_t key = Packed(physical);
        if (const File* file = fileOf(key)) {
            known.skipVisit = known.referencesKnown = true;
            if (file->branchSource != 0) {
                known.references.push_back(Unpacked(file->branchSource));
            }
            return true;
        }
        const auto project = projects_.find(key);
        if (project == projects_.end()) {
            return false;
        }
        known.skipVisit = true;
        known.referencesKnown = project->second.listed;
        for (const std::uint64_t child : project->second.children) {
            if (child != 0) {  // a name the traversal passes over anyway
                known.references.push_back(Unpacked(child));
            }
        }
        return true;
    };
    lookBack.visitReadBefore = [&](const std::string& physical) {
        const std::uint64_t key = Packed(physical);
        if (const File* file = fileOf(key)) {
            VisitKept(file->texts, visit);
        } else if (const auto project = projects_.find(key); project != projects_.end()) {
            VisitKept(project->second.texts, visit);
        }
        done();
    };
    ForEachReferencedLog(
        folder,
        [&](RecordSource& log) {
            ForEachLogText(log, visit);
            done();
        },
        lookBack);
}

bool RecordMayHoldNonAscii(std::string_view signature, std::string_view body) {
    namespace ih = item_header_format;
    if (signature == record_format::kComment) {
        return FieldHasHighByte(body, 0, body.size());
    }
    if (signature == record_format::kItemHeader) {
        const std::size_t end =
            ih::kName + name_format::kShortNameOffset + name_format::kShortNameSize;
        return body.size() < end || NameHasHighByte(body, ih::kName);
    }
    if (signature == record_format::kRevision) {
        if (body.size() < rv::kBodySize) {
            return true;
        }
        const auto action =
            static_cast<Action>(static_cast<std::uint8_t>(body[rv::kAction]) |
                                static_cast<std::uint8_t>(body[rv::kAction + 1]) << 8);
        return FieldHasHighByte(body, rv::kUser, rv::kTextFieldSize) ||
               FieldHasHighByte(body, rv::kLabel, rv::kTextFieldSize) ||
               ActionTextsHaveHighByte(body, action);
    }
    return false;
}

}  // namespace vssdb
