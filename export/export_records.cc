#include "export/export_records.h"

namespace varnotte {

ItemRecord ReadItemRecord(const sourcesafe::IVSSItem& item) {
    ItemRecord record;
    record.project = item.Type() == sourcesafe::VSSITEM_PROJECT;
    record.spec = item.Spec();
    record.name = item.Name();
    record.physical = item.Physical();
    record.deleted = item.Deleted();
    if (const std::optional<vssdb::FileFault> disagreement = item.EntryDisagreement()) {
        record.damage = disagreement->Text();
    }
    if (const vssdb::NameDoubt* doubt = item.UncertainName()) {
        record.nameDoubt = *doubt;
    }
    if (!record.project) {
        // The file's facts first: they read its log, and the version number then comes
        // from what that read remembered.
        record.binary = item.Binary();
        record.fileType = item.StoredFileType();
        record.size = item.Size();
        const sourcesafe::IVSSCheckouts checkouts = item.Checkouts();
        for (int i = 1; i <= checkouts.Count(); ++i) {
            const sourcesafe::IVSSCheckout checkout = checkouts.Item(i);
            record.checkouts.push_back({checkout.Username(), checkout.Date(), checkout.LocalSpec(),
                                        checkout.Machine(), checkout.Project(), checkout.Comment(),
                                        checkout.VersionNumber()});
        }
        const sourcesafe::IVSSItems links = item.Links();
        for (int i = 1; i <= links.Count(); ++i) {
            record.links.push_back(links.Item(i).Spec());
        }
        record.pinnedVersion = item.PinnedVersion();
        record.branch = item.BranchedFrom();
    }
    record.version = item.VersionNumber();
    return record;
}

VersionRecord ReadVersionRecord(const sourcesafe::IVSSVersion& version) {
    VersionRecord record;
    record.version = version.VersionNumber();
    record.user = version.Username();
    record.details = version.Details();
    record.action = record.details.text;
    record.date = version.Date();
    record.comment = version.Comment();
    if (record.details.code == "labeled" || record.details.code == "label_removed") {
        record.label = version.Label();
        record.labelComment = version.LabelComment();
    }
    record.storedIn = version.StoredIn();
    return record;
}

}  // namespace varnotte
