#include "sourcesafe/vss_item.h"

#include "sourcesafe/connection.h"
#include "sourcesafe/vss_error.h"
#include "sourcesafe/vss_version_state.h"

namespace sourcesafe {

struct IVSSItem::State {
    std::shared_ptr<Connection> connection;
    vssdb::LocatedItem located;
};

struct IVSSItems::State {
    std::shared_ptr<Connection> connection;
    vssdb::LocatedItem parent;
    std::shared_ptr<const vssdb::ChildList> list;  // keeps `children` valid
    std::vector<const vssdb::Child*> children;
};

IVSSItem::IVSSItem(std::shared_ptr<Connection> connection, vssdb::LocatedItem located)
    : state_(std::make_shared<const State>(State{std::move(connection), std::move(located)})) {}

const IVSSItem::State& IVSSItem::Require() const {
    if (!state_) {
        ThrowEmptyHolder("IVSSItem");
    }
    return *state_;
}

const IVSSItem::State& IVSSItem::RequireReadable() const {
    const State& state = Require();
    if (!state.located.nameError.empty()) {
        ThrowFrom(vssdb::Error(vssdb::ErrorKind::kCorrupt, state.located.nameError));
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
    return Guarded(
        [&] { return state.connection->database->LatestVersion(state.located.physical); });
}

IVSSItems IVSSItem::Items(bool includeDeleted) const {
    const State& state = RequireReadable();
    auto items = std::make_shared<IVSSItems::State>();
    items->connection = state.connection;
    items->parent = state.located;
    if (state.located.type == vssdb::ItemType::kProject) {
        items->list =
            Guarded([&] { return state.connection->database->Children(state.located.physical); });
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

const IVSSItems::State& IVSSItems::Require() const {
    if (!state_) {
        ThrowEmptyHolder("IVSSItems");
    }
    return *state_;
}

int IVSSItems::Count() const {
    return static_cast<int>(Require().children.size());
}

IVSSItem IVSSItems::Item(int index) const {
    const State& state = Require();
    if (index < 1 || index > static_cast<int>(state.children.size())) {
        throw VssError(DISP_E_BADINDEX_RESULT, "item index " + std::to_string(index) +
                                                   " is outside 1 to " +
                                                   std::to_string(state.children.size()));
    }
    const vssdb::Child& child = *state.children[static_cast<std::size_t>(index - 1)];
    vssdb::LocatedItem located;
    located.path = state.parent.path.Child(child.name);
    located.type = child.type;
    located.physical = child.physical;
    located.pinnedVersion = child.pinnedVersion;
    located.nameError = child.nameError;
    return IVSSItem(state.connection, std::move(located));
}

IVSSItem IVSSItems::Item(const std::string& name) const {
    const State& state = Require();
    static const vssdb::ChildList kNoChildren;  // a file's: the lookup says it is a file
    const vssdb::ChildList& list = state.list ? *state.list : kNoChildren;
    return IVSSItem(state.connection, Guarded([&] {
                        return state.connection->database->LocateBelow(state.parent, list, name);
                    }));
}

}  // namespace sourcesafe
