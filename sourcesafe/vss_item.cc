#include "sourcesafe/vss_item.h"

#include <algorithm>
#include <optional>

#include "sourcesafe/automation_date.h"
#include "sourcesafe/connection.h"
#include "sourcesafe/content_reader.h"
#include "sourcesafe/vss_error.h"
#include "sourcesafe/vss_version_state.h"
#include "vssdb/current_content.h"
#include "vssdb/error.h"
#include "vssdb/item_header_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/text_case.h"

namespace sourcesafe {

struct IVSSItem::State {
    std::shared_ptr<Connection> connection;
    vssdb::LocatedItem located;
    // Read when a file's first fact is asked for (see FileFacts).
    mutable std::shared_ptr<const vssdb::FileFacts> facts;

    const vssdb::FileFacts& FileFacts() const;
};

struct IVSSItems::State {
    std::shared_ptr<Connection> connection;
    vssdb::LocatedItem parent;
    std::shared_ptr<const vssdb::ChildList> list;  // keeps `children` valid
    std::vector<const vssdb::Child*> children;
    // A collection of items in several projects (Links) lists them here instead.
    std::vector<vssdb::LocatedItem> located;
};

const vssdb::FileFacts& IVSSItem::State::FileFacts() const {
    if (!facts) {
        facts = Guarded([&] {
            return std::make_shared<const vssdb::FileFacts>(
                connection->database->FileFactsOf(located.physical));
        });
    }
    return *facts;
}

IVSSItem::IVSSItem(std::shared_ptr<Connection> connection, vssdb::LocatedItem located)
    : state_(std::make_shared<const State>(
          State{std::move(connection), std::move(located), nullptr})) {}

const IVSSItem::State& IVSSItem::Require() const {
    if (!state_) {
        ThrowEmptyHolder("IVSSItem");
    }
    return *state_;
}

const IVSSItem::State& IVSSItem::RequireReadable() const {
    const State& state = Require();
    if (state.located.nameError) {
        ThrowFrom(*state.located.nameError);
    }
    if (state.located.gone) {
        ThrowFrom(*state.located.gone);
    }
    return state;
}

std::string IVSSItem::Spec() const {
    const State& state = Require();
    return state.located.path.Spec(state.connection->recentSpecs);
}

std::string IVSSItem::Name() const {
    return Require().located.path.Name();
}

std::string IVSSItem::Physical() const {
    return Require().located.physical;
}

int IVSSItem::Type() const {
    return Require().located.type == vssdb::ItemType::kProject ? VSSITEM_PROJECT : VSSITEM_FILE;
}

int IVSSItem::VersionNumber() const {
    const State& state = RequireReadable();
    if (state.located.type == vssdb::ItemType::kFile && state.located.pinnedVersion != 0) {
        return state.located.pinnedVersion;
    }
    vssdb::Database& database = *state.connection->database;
    if (!state.located.asOf) {
        return Guarded([&] { return database.LatestVersion(state.located.physical); });
    }
    const int version = Guarded([&] {
        return database.VersionAt(state.located.physical, *state.located.asOf,
                                  state.located.type == vssdb::ItemType::kFile);
    });
    if (version == 0) {
        throw VssError(DISP_E_BADINDEX_RESULT, Spec() + " did not exist yet at that moment");
    }
    return version;
}

IVSSItems IVSSItem::Items(bool includeDeleted) const {
    const State& state = RequireReadable();
    auto items = std::make_shared<IVSSItems::State>();
    items->connection = state.connection;
    items->parent = state.located;
    if (state.located.type == vssdb::ItemType::kProject) {
        vssdb::Database& database = *state.connection->database;
        items->list = Guarded([&] {
            return state.located.asOf
                       ? database.ChildrenAt(state.located.physical, *state.located.asOf)
                       : database.Children(state.located.physical);
        });
        items->children.reserve(items->list->entries.size());
        for (const vssdb::Child& child : items->list->entries) {
            if (includeDeleted || !child.deleted) {
                items->children.push_back(&child);
            }
        }
    }
    IVSSItems result;
    result.state_ = std::move(items);
    return result;
}

IVSSVersions IVSSItem::Versions(long /*flags*/) const {
    const State& state = RequireReadable();
    IVSSVersions result;
    result.state_ = std::make_shared<const IVSSVersions::State>(IVSSVersions::State{
        state.connection, state.located.physical,
        state.located.type == vssdb::ItemType::kFile ? state.located.pinnedVersion : 0});
    return result;
}

bool IVSSItem::Deleted() const {
    return Require().located.deleted;
}

std::optional<vssdb::FileFault> IVSSItem::EntryDisagreement() const {
    const State& state = RequireReadable();
    return Guarded([&] { return state.connection->database->EntryDisagreement(state.located); });
}

const vssdb::NameDoubt* IVSSItem::UncertainName() const {
    const State& state = Require();
    return state.located.nameDoubt ? &*state.located.nameDoubt : nullptr;
}

std::string IVSSItem::MissingDataFile() const {
    const State& state = RequireReadable();
    if (state.located.type != vssdb::ItemType::kFile) {
        return {};
    }
    return Guarded(
        [&] { return state.connection->database->MissingDataFileOf(state.located.physical); });
}

std::optional<IVSSItem::RecordedChildren> IVSSItem::RecordedChildrenOnFile() const {
    const State& state = Require();
    if (state.located.type != vssdb::ItemType::kProject) {
        return std::nullopt;
    }
    const auto recorded = state.connection->database->RecordedChildrenOf(state.located.physical);
    if (!recorded) {
        return std::nullopt;
    }
    return RecordedChildren{recorded->entries, recorded->projects};
}

bool IVSSItem::Binary() const {
    const State& state = RequireReadable();
    return state.located.type == vssdb::ItemType::kFile &&
           (state.FileFacts().flags & vssdb::item_header_format::kFileBinary) != 0;
}

int IVSSItem::IsCheckedOut() const {
    const State& state = RequireReadable();
    if (state.located.type != vssdb::ItemType::kFile || state.FileFacts().checkouts.empty()) {
        return VSSFILE_NOTCHECKEDOUT;
    }
    for (const vssdb::Checkout& checkout : state.FileFacts().checkouts) {
        if (vssdb::EqualsIgnoringCase(state.connection->database->Decode(checkout.user),
                                      state.connection->userName)) {
            return VSSFILE_CHECKEDOUT_ME;
        }
    }
    return VSSFILE_CHECKEDOUT;
}

IVSSCheckouts IVSSItem::Checkouts() const {
    const State& state = RequireReadable();
    if (state.located.type != vssdb::ItemType::kFile) {
        return {};
    }
    vssdb::Database& database = *state.connection->database;
    std::vector<IVSSCheckout::Values> values;
    for (const vssdb::Checkout& checkout : state.FileFacts().checkouts) {
        IVSSCheckout::Values value;
        value.username = database.Decode(checkout.user);
        value.date = AutomationDateFromStoredTime(checkout.time);
        value.localSpec = database.Decode(checkout.folder);
        value.machine = database.Decode(checkout.machine);
        value.project = database.Decode(checkout.project);
        value.comment = database.Decode(checkout.comment);
        value.versionNumber = checkout.version;
        values.push_back(std::move(value));
    }
    return IVSSCheckouts(std::move(values));
}

IVSSItems IVSSItem::Links() const {
    const State& state = RequireReadable();
    auto items = std::make_shared<IVSSItems::State>();
    items->connection = state.connection;
    if (state.located.type == vssdb::ItemType::kFile) {
        const std::vector<std::string>& parents = state.FileFacts().parentProjects;
        if (parents.size() <= 1 && !state.located.deleted) {
            // Listed by one project only: the one it was reached through.
            items->located.push_back(state.located);
        } else {
            items->located = Guarded([&] {
                return state.connection->database->PlacesOf(state.located.physical, parents);
            });
        }
    }
    IVSSItems result;
    result.state_ = std::move(items);
    return result;
}

long long IVSSItem::Size() const {
    const State& state = RequireReadable();
    return state.located.type == vssdb::ItemType::kFile ? state.FileFacts().dataSize : 0;
}

std::string IVSSItem::StoredFileType() const {
    const State& state = Require();
    if (state.located.type != vssdb::ItemType::kFile) {
        return {};
    }
    namespace pe = vssdb::project_entry_format;
    switch (state.located.fileType) {
        case 0:
            return {};
        case pe::kTypeBinary:
            return "binary";
        case pe::kTypeText:
            return "text";
        case pe::kTypeUtf8:
            return "utf-8";
        case pe::kTypeUtf16:
            return "utf-16";
        default:
            return std::to_string(state.located.fileType);
    }
}

int IVSSItem::PinnedVersion() const {
    const State& state = Require();
    return state.located.type == vssdb::ItemType::kFile ? state.located.pinnedVersion : 0;
}

BranchSource IVSSItem::BranchedFrom() const {
    const State& state = RequireReadable();
    BranchSource source;
    if (state.located.type != vssdb::ItemType::kFile || state.FileFacts().branchSource.empty()) {
        return source;
    }
    source.physical = state.FileFacts().branchSource;
    source.version = state.FileFacts().firstVersion - 1;
    vssdb::Database& database = *state.connection->database;
    const std::vector<vssdb::LocatedItem> places = Guarded([&] {
        return database.PlacesOf(source.physical,
                                 database.FileFactsOf(source.physical).parentProjects);
    });
    if (!places.empty()) {
        source.spec = places.front().path.Spec();
    }
    return source;
}

IVSSItem IVSSItem::AtLabel(const std::string& label) const {
    const State& state = RequireReadable();
    vssdb::Database& database = *state.connection->database;
    // This item, then the projects above it, nearest first, as their specs reach them now.
    std::vector<std::string> places{state.located.physical};
    std::string spec = Spec();
    while (spec.size() > 2) {
        spec.erase(std::max(spec.rfind('/'), std::size_t{2}));
        places.push_back(Guarded([&] { return database.Locate(spec).physical; }));
    }
    for (const std::string& physical : places) {
        std::optional<vssdb::Moment> moment =
            Guarded([&] { return database.LabelMoment(physical, label); });
        if (moment) {
            return At(std::move(*moment));
        }
    }
    throw VssError(DISP_E_BADINDEX_RESULT,
                   "no label \"" + label + "\" on " + Spec() + " or a project above it");
}

IVSSItem IVSSItem::AtDate(double date) const {
    return At(vssdb::Moment{StoredTimeFromAutomationDate(date), {}, 0});
}

IVSSItem IVSSItem::At(vssdb::Moment moment) const {
    const State& state = RequireReadable();
    vssdb::LocatedItem located = state.located;
    if (located.type == vssdb::ItemType::kFile && !located.parentPhysical.empty()) {
        // The pin of the project it was reached through is the one of that moment.
        const std::shared_ptr<const vssdb::ChildList> then = Guarded(
            [&] { return state.connection->database->ChildrenAt(located.parentPhysical, moment); });
        located.pinnedVersion = 0;
        for (const vssdb::Child& child : then->entries) {
            if (!child.deleted && vssdb::EqualsIgnoringCase(child.physical, located.physical)) {
                located.pinnedVersion = child.pinnedVersion;
                break;
            }
        }
    }
    located.asOf = std::move(moment);
    return IVSSItem(state.connection, std::move(located));
}

namespace {

vssdb::FileContentReader& SharedContentReader(Connection& connection) {
    if (!connection.content) {
        connection.content =
            std::make_unique<vssdb::FileContentReader>(connection.database->dataPath());
    }
    return *connection.content;
}

}  // namespace

std::string_view LineEndingsRestoredReason() {
    return vssdb::kLineEndingsRestored;
}

std::string IVSSItem::Get(int version) const {
    const State& state = RequireReadable();
    if (state.located.type != vssdb::ItemType::kFile) {
        throw VssError(DISP_E_BADINDEX_RESULT, Spec() + " is a project: it has no content");
    }
    if (version == 0) {
        version = VersionNumber();
    }
    vssdb::FileContentReader& reader = SharedContentReader(*state.connection);
    return Guarded([&] {
        std::string notKept;
        std::optional<std::string> content;
        try {
            content = reader.ReadVersion(state.located.physical, version, &notKept);
        } catch (const vssdb::Error& error) {
            if (error.kind() == vssdb::ErrorKind::kInvalidArgument) {
                throw VssError(DISP_E_BADINDEX_RESULT, error.what());
            }
            throw;
        }
        if (!content) {
            throw vssdb::Error(vssdb::ErrorKind::kCorrupt, "version " + std::to_string(version) +
                                                               " of " + Spec() +
                                                               " is not kept: " + notKept);
        }
        return std::move(*content);
    });
}

ContentCheck IVSSItem::CheckContent(const VersionBytes& each) const {
    const State& state = RequireReadable();
    if (state.located.type != vssdb::ItemType::kFile) {
        return {};
    }
    return CheckContentWith(SharedContentReader(*state.connection), state.located.physical,
                            [&](int version, std::string_view bytes) {
                                if (each) {
                                    each(version, bytes);
                                }
                                return true;
                            });
}

ContentSource IVSSItem::ContentSourceOf() const {
    const State& state = RequireReadable();
    if (state.located.type != vssdb::ItemType::kFile) {
        return {};
    }
    return {state.connection->database->dataPath(), state.located.physical};
}

const IVSSItems::State& IVSSItems::Require() const {
    if (!state_) {
        ThrowEmptyHolder("IVSSItems");
    }
    return *state_;
}

int IVSSItems::Count() const {
    const State& state = Require();
    return static_cast<int>(state.list ? state.children.size() : state.located.size());
}

IVSSItem IVSSItems::Item(int index) const {
    const State& state = Require();
    const int count = Count();
    if (index < 1 || index > count) {
        throw VssError(DISP_E_BADINDEX_RESULT, "item index " + std::to_string(index) +
                                                   " is outside 1 to " + std::to_string(count));
    }
    const auto at = static_cast<std::size_t>(index - 1);
    if (!state.list) {
        return IVSSItem(state.connection, state.located[at]);
    }
    const vssdb::Child& child = *state.children[at];
    vssdb::LocatedItem located;
    located.path = state.parent.path.Child(child.name);
    located.type = child.type;
    located.physical = child.physical;
    located.pinnedVersion = child.pinnedVersion;
    located.fileType = child.fileType;
    located.nameError = child.nameError;
    located.entryName = child.storedName;
    located.parentPhysical = state.parent.physical;
    located.nameDoubt = child.nameDoubt;
    located.asOf = state.parent.asOf;
    located.gone = child.gone;
    // What lies in a deleted project went with it.
    located.deleted = child.deleted || state.parent.deleted;
    return IVSSItem(state.connection, std::move(located));
}

IVSSItem IVSSItems::Item(const std::string& name) const {
    const State& state = Require();
    static const vssdb::ChildList kNoChildren;  // a file's: the lookup says it is a file
    const vssdb::ChildList& list = state.list ? *state.list : kNoChildren;
    vssdb::LocatedItem located =
        Guarded([&] { return state.connection->database->LocateBelow(state.parent, list, name); });
    located.deleted = state.parent.deleted;
    return IVSSItem(state.connection, std::move(located));
}

}  // namespace sourcesafe
