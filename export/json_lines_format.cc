#include "export/json_lines_format.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>

#include "export/export_records.h"
#include "export/utf8_text.h"
#include "sourcesafe/automation_date.h"

namespace varnotte {
namespace {

// The bytes a JSON string cannot hold as they are: control characters, '"' and '\\'.
bool MustEscape(unsigned char c) {
    return c < 0x20 || c == '"' || c == '\\';
}

// Whether any of eight bytes must be escaped: one below 0x20, a '"' or a '\\' (bytes of
// 0x80 and above never count).
bool AnyToEscape(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const auto zeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    const std::uint64_t control = (word - kOnes * 0x20) & ~word & kHighs;
    return (control | zeroByte(word ^ (kOnes * '"')) | zeroByte(word ^ (kOnes * '\\'))) != 0;
}

void AppendEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const char* data = text.data();
    const std::size_t size = text.size();
    std::size_t from = 0;
    std::size_t i = 0;
    while (i < size) {
        // Most text needs no escape: pass it eight bytes at a time.
        std::uint64_t word = 0;
        if (size - i >= 8 && (std::memcpy(&word, data + i, 8), !AnyToEscape(word))) {
            i += 8;
            continue;
        }
        const auto c = static_cast<unsigned char>(data[i]);
        if (!MustEscape(c)) {
            ++i;
            continue;
        }
        out.append(data + from, i - from);
        from = ++i;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xF];
        }
    }
    out.append(data + from, size - from);
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    if (IsUtf8(text)) {
        AppendEscaped(out, text);
    } else {
        // Qt's conversion puts U+FFFD where the bytes are no UTF-8, as the CSV writer does.
        const QByteArray valid =
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toUtf8();
        AppendEscaped(out,
                      std::string_view(valid.constData(), static_cast<std::size_t>(valid.size())));
    }
    out += '"';
}

// Builds one object, members in the order they are added.
class JsonObject {
  public:
    JsonObject() {
        text_.reserve(512);
        text_ += '{';
    }
    // An object whose first members are `begun`, another object's text without its end.
    explicit JsonObject(std::string_view begun) {
        text_.reserve(begun.size() + 384);
        text_ += begun;
    }
    // The text so far, for a later object to begin with.
    const std::string& Begun() const { return text_; }

    JsonObject& String(std::string_view key, std::string_view value) {
        Key(key);
        AppendJsonString(text_, value);
        return *this;
    }
    JsonObject& Number(std::string_view key, long long value) {
        Key(key);
        text_ += std::to_string(value);
        return *this;
    }
    JsonObject& Bool(std::string_view key, bool value) {
        Key(key);
        text_ += value ? "true" : "false";
        return *this;
    }
    JsonObject& Null(std::string_view key) {
        Key(key);
        text_ += "null";
        return *this;
    }
    JsonObject& Date(std::string_view key, double automationDate,
                     const sourcesafe::TimeZone* zone) {
        return String(key, sourcesafe::FormatAutomationDateIso(automationDate, zone));
    }
    // A member whose value is already JSON text.
    JsonObject& Raw(std::string_view key, std::string_view json) {
        Key(key);
        text_ += json;
        return *this;
    }

    std::string Finish() {
        text_ += '}';
        return std::move(text_);
    }

  private:
    // Keys are this program's own names, which need no escaping.
    void Key(std::string_view key) {
        if (text_.size() > 1) {
            text_ += ',';
        }
        text_ += '"';
        text_ += key;
        text_ += "\":";
    }

    std::string text_;
};

std::string CheckoutsJson(const std::vector<CheckoutRecord>& checkouts,
                          const sourcesafe::TimeZone* zone) {
    std::string json = "[";
    for (const CheckoutRecord& checkout : checkouts) {
        if (json.size() > 1) {
            json += ',';
        }
        json += JsonObject()
                    .String("user", checkout.user)
                    .Date("date", checkout.date, zone)
                    .String("folder", checkout.folder)
                    .String("machine", checkout.machine)
                    .String("project", checkout.project)
                    .String("comment", checkout.comment)
                    .Number("version", checkout.version)
                    .Finish();
    }
    return json + "]";
}

std::string StringsJson(const std::vector<std::string>& values) {
    std::string json = "[";
    for (const std::string& value : values) {
        if (json.size() > 1) {
            json += ',';
        }
        AppendJsonString(json, value);
    }
    return json + "]";
}

// The members an action adds, named after what they mean for that action.
void AddActionFields(JsonObject& object, const VersionRecord& record) {
    const sourcesafe::ActionDetails& details = record.details;
    const std::string& code = details.code;
    if (code == "labeled" || code == "label_removed") {
        object.String("label", record.label).String("labelComment", record.labelComment);
        return;
    }
    if (code == "renamed") {
        object.String("oldName", details.oldName).String("newName", details.name);
        return;
    }
    if (!details.name.empty()) {
        object.String("name", details.name);
    }
    if (code == "checked_in") {
        object.String("projectSpec", details.spec);
    } else if (code == "shared") {
        object.String("sourceSpec", details.spec);
    } else if (code == "moved_from") {
        object.String("fromSpec", details.spec);
    } else if (code == "moved_to") {
        object.String("toSpec", details.spec);
    } else if (code == "pinned" || code == "unpinned") {
        object.Number("pinnedVersion", details.version);
    } else if (code == "branched_at" || code == "rolled_back") {
        object.Number("fromVersion", details.version);
    }
    if (!details.branchSource.empty()) {
        object.String("branchSourcePhysical", details.branchSource);
    }
    if (!details.archivePath.empty()) {
        object.String("archivePath", details.archivePath);
    }
}

// A file's content facts: the newest version's kind of content, what its history
// occupies, and what could not be rebuilt.
void AddContentFields(JsonObject& object, const ContentFacts& content) {
    const VersionContentFacts* newest = content.Newest();
    if (newest == nullptr) {
        object.Null("contentType");
    } else {
        object.String("contentType", newest->contentType);
    }
    if (content.storedBytes > 0) {
        object.Number("historyBytes", content.storedBytes);
    } else {
        object.Null("historyBytes");
    }
    object.Bool("latestOnly", content.latestOnly);
    if (!content.notKept.empty()) {
        object.String("contentNotKept", content.notKept);
    }
    if (!content.restoredDataFiles.empty()) {
        object.Bool("lineEndingsRestored", true);
    }
    if (content.error) {
        object.String("contentDamage", content.error->what());
    }
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string json;
    json.reserve(text.size() + 2);
    AppendJsonString(json, text);
    return json;
}

std::string JsonLinesFormat::ItemRow(const sourcesafe::IVSSItem& item) {
    const ItemRecord record = ReadItemRecord(item);
    JsonObject object;
    object.String("record", "item")
        .String("type", record.project ? "project" : "file")
        .String("spec", record.spec)
        .String("name", record.name)
        .Number("version", record.version)
        .String("physical", record.physical);
    if (options_.deletedField) {
        object.Bool("deleted", record.deleted);
    }
    if (!record.damage.empty()) {
        object.String("damage", record.damage);
    }
    if (record.nameDoubt) {
        object.Raw("nameUncertain",
                   JsonObject()
                       .String("reason", record.nameDoubt->cause.Text())
                       .Bool("mayHaveLostLeadingDot", record.nameDoubt->mayHaveLostLeadingDot)
                       .Bool("mayHaveHadSpaces", record.nameDoubt->mayHaveHadSpaces)
                       .Bool("mayBeCut", record.nameDoubt->mayBeCut)
                       .Finish());
    }
    if (record.project) {
        return object.Finish();
    }
    object.Bool("binary", record.binary);
    if (!record.fileType.empty()) {
        object.String("fileType", record.fileType);
    }
    if (record.size < 0) {
        object.Null("size");
    } else {
        object.Number("size", record.size);
    }
    object.Bool("checkedOut", !record.checkouts.empty())
        .Raw("checkouts", CheckoutsJson(record.checkouts, options_.timeZone))
        .Raw("links", StringsJson(record.links));
    if (record.pinnedVersion != 0) {
        object.Number("pinnedVersion", record.pinnedVersion);
    }
    if (!record.branch.physical.empty()) {
        JsonObject branch;
        if (record.branch.spec.empty()) {
            branch.Null("source");
        } else {
            branch.String("source", record.branch.spec);
        }
        branch.String("sourcePhysical", record.branch.physical)
            .Number("version", record.branch.version);
        object.Raw("branch", branch.Finish());
    }
    if (options_.content != nullptr) {
        AddContentFields(object, options_.content->Of(item));
    }
    return object.Finish();
}

std::string JsonLinesFormat::VersionRow(const sourcesafe::IVSSItem& item,
                                        const sourcesafe::IVSSVersion& version) {
    if (versionItem_.IsNew(item)) {
        JsonObject begun;
        begun.String("record", "version")
            .String("type", item.Type() == sourcesafe::VSSITEM_PROJECT ? "project" : "file")
            .String("spec", item.Spec())
            .String("physical", item.Physical());
        if (options_.deletedField) {
            begun.Bool("deleted", item.Deleted());
        }
        versionBegun_ = begun.Begun();
    }
    const VersionRecord record = ReadVersionRecord(version);
    JsonObject object(versionBegun_);
    object.Number("version", record.version)
        .String("user", record.user)
        .Date("date", record.date, options_.timeZone)
        .String("action", record.action)
        .String("actionCode", record.details.code)
        .Number("actionNumber", record.details.storedAction)
        .String("comment", record.comment);
    if (!record.storedIn.empty()) {
        object.String("storedIn", record.storedIn);
    }
    AddActionFields(object, record);
    if (options_.content != nullptr && item.Type() == sourcesafe::VSSITEM_FILE) {
        const ContentFacts& content = options_.content->Of(item);
        const auto rebuilt = content.versions.find(record.version);
        if (rebuilt == content.versions.end()) {
            object.Null("size").Null("contentType");
        } else {
            object.Number("size", rebuilt->second.size)
                .String("contentType", rebuilt->second.contentType);
        }
    }
    return object.Finish();
}

}  // namespace varnotte
