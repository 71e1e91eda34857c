#include "vssdb/names_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "vssdb/crc.h"
#include "vssdb/error.h"
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

}  // namespace

NamesFile::NamesFile(PhysicalFile file) : present_(true), file_(std::move(file)) {
    IndexRecords();
}

void NamesFile::IndexRecords() {
    namespace rf = record_format;
    const ByteView view = file_.view();
    std::size_t offset = 0;
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
        const bool intact = signature == rf::kName && (stored == 0 || stored == RecordCrc(body));
        places_.push_back(Place{static_cast<std::uint32_t>(offset),
                                static_cast<std::uint32_t>(offset + rf::kHeaderSize + length),
                                intact});
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
    if (!present_ || offset == 0) {
        return std::nullopt;
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
