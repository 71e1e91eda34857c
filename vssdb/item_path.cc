#include "vssdb/item_path.h"

namespace vssdb {

struct ItemPath::Node {
    Node(std::shared_ptr<const Node> parentNode, std::string ownName, std::size_t size)
        : parent(std::move(parentNode)), name(std::move(ownName)), specSize(size) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    // The last holder of a long chain would otherwise free it one nested destructor per
    // level, which overflows a small stack. Each parent that nobody else holds is taken
    // over here and freed in turn.
    ~Node() {
        std::shared_ptr<const Node> next = std::move(parent);
        while (next && next.use_count() == 1) {
            std::shared_ptr<const Node> after = std::move(next->parent);
            next = std::move(after);
        }
    }

    mutable std::shared_ptr<const Node> parent;  // mutable only for the destructor above
    std::string name;
    std::size_t specSize;
};

namespace {

const std::string kNoName;

}  // namespace

std::size_t ItemPath::SpecSize() const {
    return node_ ? node_->specSize : 2;
}

ItemPath ItemPath::Child(std::string name) const {
    // "$/" + name at the root, parent + "/" + name below it.
    const std::size_t size = IsRoot() ? 2 + name.size() : SpecSize() + 1 + name.size();
    return ItemPath(std::make_shared<const Node>(node_, std::move(name), size));
}

const std::string& ItemPath::Name() const {
    return node_ ? node_->name : kNoName;
}

void ItemPath::SpellDownFrom(const Node* above, std::string& spec) const {
    std::size_t end = spec.size();
    for (const Node* node = node_.get(); node != above; node = node->parent.get()) {
        end -= node->name.size();
        node->name.copy(&spec[end], node->name.size());
        --end;  // the "/" before it
    }
}

std::string ItemPath::Spec() const {
    // Filled from the end, one name per step up the chain.
    std::string spec(SpecSize(), '/');
    spec[0] = '$';
    SpellDownFrom(nullptr, spec);
    return spec;
}

std::string ItemPath::Spec(RecentSpecs& recent) const {
    const RecentSpecs::Spelt* start = nullptr;
    for (const Node* node = node_.get(); node != nullptr && start == nullptr;
         node = node->parent.get()) {
        for (const RecentSpecs::Spelt& spelt : recent.spelt_) {
            if (spelt.path.node_.get() == node) {
                start = &spelt;
            }
        }
    }
    if (start != nullptr && start->path.node_ == node_) {
        return start->spec;
    }
    std::string spec(SpecSize(), '/');
    spec[0] = '$';
    if (start != nullptr) {
        start->spec.copy(spec.data(), start->spec.size());
    }
    SpellDownFrom(start != nullptr ? start->path.node_.get() : nullptr, spec);
    RecentSpecs::Spelt& slot = recent.spelt_[recent.next_];
    recent.next_ = (recent.next_ + 1) % RecentSpecs::kKept;
    slot.path = *this;
    slot.spec = spec;
    return spec;
}

bool ItemPath::SamePlaceAs(const ItemPath& other) const {
    if (node_ == other.node_) {
        return true;
    }
    if (node_ && other.node_ && node_->parent == other.node_->parent) {
        return node_->name == other.node_->name;
    }
    return SpecSize() == other.SpecSize() && Spec() == other.Spec();
}

}  // namespace vssdb
