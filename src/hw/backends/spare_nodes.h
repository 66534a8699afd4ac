// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace ruvuvuri::hw {

// Map nodes allocated ahead of time, so that the first write of a register
// inside the interrupt bracket needs no allocation: a new entry takes a spare
// node instead. A copy starts with spares of its own.
template <typename Map>
class SpareNodes {
  public:
    using Key = typename Map::key_type;
    using Value = typename Map::mapped_type;

    SpareNodes() { Refill(); }
    SpareNodes(const SpareNodes&) : SpareNodes() {}
    SpareNodes(SpareNodes&&) noexcept = default;
    SpareNodes& operator=(const SpareNodes&) { return *this; }
    SpareNodes& operator=(SpareNodes&&) noexcept = default;
    ~SpareNodes() = default;

    // The entry for `key`, created as zero when missing. With `no_allocation`
    // a new entry uses a spare node while there is one.
    Value& At(Map& map, Key key, bool no_allocation) {
        auto it = map.find(key);
        if (it != map.end()) {
            return it->second;
        }
        if (!no_allocation || spares_.empty()) {
            return map.emplace(key, Value{}).first->second;
        }
        typename Map::node_type node = std::move(spares_.back());
        spares_.pop_back();
        node.key() = key;
        node.mapped() = Value{};
        return map.insert(std::move(node)).position->second;
    }

    void Refill() {
        Map scratch;
        while (spares_.size() < kCount) {
            scratch.emplace(Key{}, Value{});
            spares_.push_back(scratch.extract(scratch.begin()));
        }
    }

  private:
    // More than one PLL update ever touches for the first time.
    static constexpr std::size_t kCount = 16;
    std::vector<typename Map::node_type> spares_;
};

}  // namespace ruvuvuri::hw
