// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/card_profile.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

namespace ruvuvuri::hw {
namespace {

using OrderedJson = nlohmann::ordered_json;

// A table as an object of "0x…" keys in the table's order. The object is built
// from the whole list at once: adding the keys one by one would look each up
// among those before it, which takes many seconds for a card with 100,000 registers.
// The table's keys are unique, so their hex spellings are too.
template <typename Map>
OrderedJson Table(const Map& table, int key_digits, int value_digits) {
    std::vector<std::pair<std::string, OrderedJson>> entries;
    entries.reserve(table.size());
    for (const auto& [key, value] : table) {
        entries.emplace_back(ProfileHex(key, key_digits), ProfileHex(value, value_digits));
    }
    return OrderedJson(OrderedJson::object_t(entries.begin(), entries.end()));
}

}  // namespace

std::string ProfileHex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string FormatProfile(const CardState& state) {
    OrderedJson root = OrderedJson::object();
    if (!state.description.empty()) {
        root["description"] = state.description;
    }
    if (!state.bios_path.empty()) {
        root["bios"] = state.bios_path;
    }
    root["misc_output"] = ProfileHex(state.misc_output, 2);
    root["crtc_index"] = ProfileHex(state.crtc_index, 2);
    root["extended_unlocked"] = state.extended_unlocked;
    root["crtc"] = Table(state.crtc, 2, 2);
    root["window_address"] = ProfileHex(state.window_address, 8);
    root["window_latch"] = ProfileHex(state.window_latch, 4);
    root["registers"] = Table(state.registers, 6, 8);
    if (state.inject.any()) {
        // Saved back as it was asked for, so the next run misbehaves the same
        // way; an option left at its default is left out, as it can be.
        const FaultInjection& asked = state.inject;
        OrderedJson inject = OrderedJson::object();
        if (asked.reads_all_ones) {
            inject["reads_all_ones"] = true;
        }
        if (!asked.ignore_writes.empty()) {
            OrderedJson ignored = OrderedJson::array();
            for (const std::uint32_t address : asked.ignore_writes) {
                ignored.push_back(ProfileHex(address, 6));
            }
            inject["ignore_writes"] = std::move(ignored);
        }
        if (asked.access_delay_us != 0) {
            inject["access_delay_us"] = asked.access_delay_us;
        }
        if (asked.bracket_ignores_signals) {
            inject["bracket_ignores_signals"] = true;
        }
        root["inject"] = std::move(inject);
    }
    root["faults"] = state.faults;
    return root.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

}  // namespace ruvuvuri::hw
