#include "export/wide_csv_format.h"

#include <array>
#include <string_view>
#include <vector>

#include "export/csv_rows.h"
#include "export/export_records.h"

namespace varnotte {
namespace {

enum Column {
    kRecord,
    kType,
    kSpec,
    kName,
    kVersion,
    kPhysical,
    kDeleted,
    kBinary,
    kFileType,
    kSize,
    kCheckedOut,
    kCheckoutUser,
    kCheckoutDate,
    kCheckoutFolder,
    kCheckoutMachine,
    kCheckoutProject,
    kCheckoutVersion,
    kCheckoutComment,
    kLinks,
    kPinnedVersion,
    kBranchSource,
    kBranchSourcePhysical,
    kBranchVersion,
    kUser,
    kDate,
    kAction,
    kActionCode,
    kComment,
    kLabel,
    kLabelComment,
    kActionName,
    kOldName,
    kActionSpec,
    kActionVersion,
    kArchivePath,
    kColumnCount
};

constexpr std::array<std::string_view, kColumnCount> kHeaders = {
    "record",
    "type",
    "spec",
    "name",
    "version",
    "physical",
    "deleted",
    "binary",
    "file_type",
    "size",
    "checked_out",
    "checkout_user",
    "checkout_date",
    "checkout_folder",
    "checkout_machine",
    "checkout_project",
    "checkout_version",
    "checkout_comment",
    "links",
    "pinned_version",
    "branch_source",
    "branch_source_physical",
    "branch_version",
    "user",
    "date",
    "action",
    "action_code",
    "comment",
    "label",
    "label_comment",
    "action_name",
    "old_name",
    "action_spec",
    "action_version",
    "archive_path",
};

using Row = std::array<std::string, kColumnCount>;

std::string Bool(bool value) {
    return value ? "true" : "false";
}

std::string NonZero(long long value) {
    return value == 0 ? std::string() : std::to_string(value);
}

// The values of a list, one per line.
template <typename Values, typename Text>
std::string Lines(const Values& values, Text text) {
    std::string joined;
    for (const auto& value : values) {
        if (&value != &values.front()) {
            joined += '\n';
        }
        joined += text(value);
    }
    return joined;
}

std::string Join(const Row& row) {
    std::array<std::string_view, kColumnCount> views;
    for (std::size_t i = 0; i < row.size(); ++i) {
        views[i] = row[i];
    }
    return CsvRow(views);
}

}  // namespace

std::string WideCsvFormat::HeaderRow() {
    return CsvRow(kHeaders);
}

std::string WideCsvFormat::ItemRow(const sourcesafe::IVSSItem& item) {
    const ItemRecord record = ReadItemRecord(item);
    Row row;
    row[kRecord] = "item";
    row[kType] = record.project ? "project" : "file";
    row[kSpec] = record.spec;
    row[kName] = record.name;
    row[kVersion] = std::to_string(record.version);
    row[kPhysical] = record.physical;
    row[kDeleted] = Bool(record.deleted);
    if (!record.project) {
        const std::vector<CheckoutRecord>& checkouts = record.checkouts;
        using C = CheckoutRecord;
        row[kBinary] = Bool(record.binary);
        row[kFileType] = record.fileType;
        row[kSize] = record.size < 0 ? std::string() : std::to_string(record.size);
        row[kCheckedOut] = Bool(!checkouts.empty());
        row[kCheckoutUser] = Lines(checkouts, [](const C& c) { return c.user; });
        row[kCheckoutDate] =
            Lines(checkouts, [this](const C& c) { return FormatDate(c.date, dates_, zone_); });
        row[kCheckoutFolder] = Lines(checkouts, [](const C& c) { return c.folder; });
        row[kCheckoutMachine] = Lines(checkouts, [](const C& c) { return c.machine; });
        row[kCheckoutProject] = Lines(checkouts, [](const C& c) { return c.project; });
        row[kCheckoutVersion] =
            Lines(checkouts, [](const C& c) { return std::to_string(c.version); });
        row[kCheckoutComment] = Lines(checkouts, [](const C& c) { return c.comment; });
        row[kLinks] = Lines(record.links, [](const std::string& spec) { return spec; });
        row[kPinnedVersion] = NonZero(record.pinnedVersion);
        row[kBranchSource] = record.branch.spec;
        row[kBranchSourcePhysical] = record.branch.physical;
        row[kBranchVersion] =
            record.branch.physical.empty() ? std::string() : std::to_string(record.branch.version);
    }
    return Join(row);
}

std::string WideCsvFormat::VersionRow(const sourcesafe::IVSSItem& item,
                                      const sourcesafe::IVSSVersion& version) {
    if (versionItem_.IsNew(item)) {
        itemType_ = item.Type() == sourcesafe::VSSITEM_PROJECT ? "project" : "file";
        itemSpec_ = item.Spec();
        itemName_ = item.Name();
        itemPhysical_ = item.Physical();
        itemDeleted_ = item.Deleted() ? "true" : "false";
    }
    // Views of the record's own texts: a version row is written for every version, and
    // copying each text into a row of strings first would cost as much again.
    const VersionRecord record = ReadVersionRecord(version);
    const sourcesafe::ActionDetails& details = record.details;
    const std::string number = std::to_string(record.version);
    const std::string date = FormatDate(record.date, dates_, zone_);
    const std::string actionVersion = NonZero(details.version);
    std::array<std::string_view, kColumnCount> row{};
    row[kRecord] = "version";
    row[kType] = itemType_;
    row[kSpec] = itemSpec_;
    row[kName] = itemName_;
    row[kVersion] = number;
    row[kPhysical] = itemPhysical_;
    row[kDeleted] = itemDeleted_;
    row[kUser] = record.user;
    row[kDate] = date;
    row[kAction] = record.action;
    row[kActionCode] = details.code;
    row[kComment] = record.comment;
    row[kLabel] = record.label;
    row[kLabelComment] = record.labelComment;
    row[kActionName] = details.name;
    row[kOldName] = details.oldName;
    row[kActionSpec] = details.spec;
    row[kActionVersion] = actionVersion;
    row[kArchivePath] = details.archivePath;
    return CsvRow(row);
}

}  // namespace varnotte
