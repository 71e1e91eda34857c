#include "vssdb/names_file.h"

#include <cstring>

#include "vssdb/error.h"
#include "vssdb/names_file_format.h"
#include "vssdb/record_format.h"
#include "vssdb/record_reader.h"

namespace vssdb {

NamesFile::NamesFile(PhysicalFile file) : present_(true), file_(std::move(file)) {}

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
        return {ParseEntries(records_.Read(file_.view(), offset, record_format::kName)),
                std::nullopt};
    } catch (const Error& error) {
        return {{}, error};
    }
}

std::optional<std::string> NamesFile::LongName(std::uint32_t offset, bool project) const {
    if (!present_ || offset == 0) {
        return std::nullopt;
    }
    auto it = cache_.find(offset);
    if (it == cache_.end()) {
        it = cache_.emplace(offset, Find(offset)).first;
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
    if (!present_) {
        return;
    }
    try {
        ForEachRecord(file_.view(), 0, [&](const Record& record) {
            if (record.signature != record_format::kName) {
                return;
            }
            for (const auto& entry : ParseEntries(record)) {
                visit(entry.second);
            }
        });
    } catch (const Error&) {
        // Damage is reported by the lookups of the items concerned.
    }
}

}  // namespace vssdb
