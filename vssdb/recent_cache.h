// A map that keeps only what was used lately, so that the memory of a cache does not grow
// with the database.
//
// Each value has a weight (a child list weighs its number of entries). Once the total
// passes the budget the least recently used values go, except the `keptAlways` most recent
// ones, which stay whatever they weigh: a walk keeps using the lists of the projects above
// it, and one huge project must not push out the path that leads to it.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace vssdb {

template <typename Value>
class RecentCache {
  public:
    RecentCache(std::size_t weightBudget, std::size_t keptAlways)
        : budget_(weightBudget), keptAlways_(keptAlways) {}
    RecentCache(const RecentCache&) = delete;
    RecentCache& operator=(const RecentCache&) = delete;

    // The value of `key`, now the most recently used; null when it is not (or no longer) here.
    const Value* Find(std::string_view key) {
        const auto found = index_.find(key);
        if (found == index_.end()) {
            return nullptr;
        }
        order_.splice(order_.begin(), order_, found->second);
        return &found->second->value;
    }

    // Adds or replaces the value of `key` as the most recently used.
    void Put(const std::string& key, Value value, std::size_t weight) {
        const auto found = index_.find(std::string_view(key));
        if (found != index_.end()) {
            weight_ -= found->second->weight;
            order_.erase(found->second);
            index_.erase(found);
        }
        order_.push_front(Entry{key, std::move(value), weight});
        index_.emplace(std::string_view(order_.front().key), order_.begin());
        weight_ += weight;
        while (weight_ > budget_ && order_.size() > keptAlways_) {
            const Entry& oldest = order_.back();
            weight_ -= oldest.weight;
            index_.erase(std::string_view(oldest.key));
            order_.pop_back();
        }
    }

    void Clear() {
        index_.clear();
        order_.clear();
        weight_ = 0;
    }

    std::size_t size() const { return order_.size(); }
    std::size_t weight() const { return weight_; }

  private:
    struct Entry {
        std::string key;
        Value value;
        std::size_t weight;
    };

    std::size_t budget_;
    std::size_t keptAlways_;
    std::size_t weight_ = 0;
    std::list<Entry> order_;  // most recent first
    // Keys view the entries' own strings, which list nodes keep in place.
    std::unordered_map<std::string_view, typename std::list<Entry>::iterator> index_;
};

}  // namespace vssdb
