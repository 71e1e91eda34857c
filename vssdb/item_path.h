// Where an item sits: the names from the root down to it, kept as a chain that items below
// one project share.
//
// A spec held as one string per item would make the items along a deep path cost the
// square of its depth (16,000 levels of one-letter names: 256 MB); the chain costs one name
// per level, however many items hold a part of it. The spec is spelt out when asked for.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vssdb {

class RecentSpecs;

class ItemPath {
  public:
    ItemPath() = default;  // the root

    // The path of the child `name` of this one.
    ItemPath Child(std::string name) const;

    bool IsRoot() const { return !node_; }
    // The last name; empty for the root.
    const std::string& Name() const;
    // "$/" for the root, else "$/A/b.txt": the names joined by "/", as they are stored.
    std::string Spec() const;
    // The same, starting from the spec of the nearest place above (or here) that `recent`
    // spelt lately instead of from the root.
    std::string Spec(RecentSpecs& recent) const;

    // Whether both are one place: the same chain, or chains that spell the same spec.
    bool SamePlaceAs(const ItemPath& other) const;

  private:
    friend class RecentSpecs;
    struct Node;
    explicit ItemPath(std::shared_ptr<const Node> node) : node_(std::move(node)) {}
    std::size_t SpecSize() const;
    // Writes the names from this node up to (not including) `above` into the end of `spec`.
    void SpellDownFrom(const Node* above, std::string& spec) const;

    std::shared_ptr<const Node> node_;  // null for the root
};

// The last few specs spelt, for ItemPath::Spec. A walk asks for the spec of each item
// just after that of its project or of a sibling: starting from there costs the length of
// the spec, while going up a chain of 16,000 levels for every item would cost more than
// the rows themselves. Holds a handful of specs, whatever the depth.
class RecentSpecs {
  public:
    RecentSpecs() = default;
    RecentSpecs(const RecentSpecs&) = delete;
    RecentSpecs& operator=(const RecentSpecs&) = delete;

  private:
    friend class ItemPath;
    struct Spelt {
        ItemPath path;  // keeps its node, so that no other node takes its address
        std::string spec;
    };
    static constexpr std::size_t kKept = 4;
    Spelt spelt_[kKept];
    std::size_t next_ = 0;  // the slot to replace next
};

}  // namespace vssdb
