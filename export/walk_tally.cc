#include "export/walk_tally.h"

namespace varnotte {

TalliedVersion ReadTalliedVersion(const sourcesafe::IVSSItem& item,
                                  const sourcesafe::IVSSVersion& version, bool detailed) {
    TalliedVersion tallied;
    tallied.spec = item.Spec();
    tallied.physical = item.Physical();
    tallied.project = item.Type() == sourcesafe::VSSITEM_PROJECT;
    if (detailed) {
        tallied.record = ReadVersionRecord(version);
        tallied.record.comment.clear();  // no tally counts it; the item's versions wait
    } else {
        tallied.record.version = version.VersionNumber();
        tallied.record.user = version.Username();
        tallied.record.date = version.Date();
        tallied.record.storedIn = version.StoredIn();
    }
    return tallied;
}

}  // namespace varnotte
