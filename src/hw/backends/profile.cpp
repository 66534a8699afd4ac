// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/profile.h"

#include <cstdio>
#include <limits>
#include <nlohmann/json.hpp>
#include <unordered_set>
#include <utility>

#include "base/number_text.h"
#include "base/printable.h"

namespace ruvuvuri::hw {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The card check reads 8 KB at 0xC0000; the model shows zeros beyond the image.
constexpr std::size_t kBiosReadBytes = 8192;
// The largest expansion ROM a PCI card can decode.
constexpr std::uint64_t kMaxBiosFileBytes = 16u << 20;

// "0x" and at least `digits` lowercase hex digits, as profiles are written.
std::string Hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

// A table as an object of "0x…" keys in the table's order, built from the
// whole list at once (adding keys one by one searches those already there).
template <typename Map>
OrderedJson Table(const Map& table, int key_digits, int value_digits) {
    std::vector<std::pair<std::string, OrderedJson>> entries;
    for (const auto& [key, value] : table) {
        entries.emplace_back(Hex(key, key_digits), Hex(value, value_digits));
    }
    return OrderedJson(OrderedJson::object_t(entries.begin(), entries.end()));
}

class ProfileParser {
  public:
    ProfileParser(const fs::path& folder, const std::string& name) : folder_(folder), name_(name) {}

    CardState Parse(const std::string& text) {
        // The JSON reader takes a NUL byte for the end of its input, and would
        // not see what follows it.
        if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
            throw ProfileError(Prefix() + " is not valid JSON: byte " + std::to_string(nul) +
                               " is a NUL character; remove it and anything after the JSON "
                               "value");
        }
        const auto check = [this](int /*depth*/, Json::parse_event_t event, Json& parsed) {
            RefuseDuplicateKey(event, parsed);
            return true;
        };
        Json root;
        try {
            root = Json::parse(text, check);
        } catch (const Json::exception& error) {
            // Syntax errors, and numbers too large for a double (out_of_range).
            std::string what = error.what();
            const std::size_t bracket = what.find("] ");
            if (bracket != std::string::npos) {
                what.erase(0, bracket + 2);
            }
            throw ProfileError(Prefix() + " is not valid JSON: " + base::Printable(what) +
                               "; correct the syntax there (an empty profile is {})");
        }
        if (!root.is_object()) {
            throw ProfileError(Prefix() +
                               ": expected a JSON object ({ … }) at the top level, got " +
                               Describe(root));
        }
        CardState state;
        for (const auto& [key, value] : root.items()) {
            Field(state, key, value);
        }
        return state;
    }

  private:
    // An object or array being read, for RefuseDuplicateKey.
    struct Open {
        std::string path;
        bool object;
        std::unordered_set<std::string> keys;
    };

    // Refuses a key that appears twice in one object. The JSON reader would
    // keep the last one silently, so a profile edited by hand could program a
    // value its author had meant to replace.
    void RefuseDuplicateKey(Json::parse_event_t event, const Json& parsed) {
        using Kind = Json::parse_event_t;
        if (event == Kind::object_start || event == Kind::array_start) {
            open_.push_back({Child(), event == Kind::object_start, {}});
        } else if ((event == Kind::object_end || event == Kind::array_end) && !open_.empty()) {
            open_.pop_back();
        } else if (event == Kind::key) {
            key_ = parsed.get<std::string>();
            if (!open_.empty() && !open_.back().keys.insert(key_).second) {
                Fail(Child(), "appears twice in its object; keep one of them");
            }
        }
    }

    // The dotted name of what the current key (or array element) leads to.
    std::string Child() const {
        if (open_.empty()) {
            return "";
        }
        const Open& parent = open_.back();
        if (!parent.object) {
            return parent.path;
        }
        return parent.path.empty() ? key_ : parent.path + "." + key_;
    }

    std::string Prefix() const { return "simulator profile " + base::Printable(name_); }

    [[noreturn]] void Fail(const std::string& field, const std::string& problem) const {
        // A key may hold any character; the message stays one line and
        // carries no terminal control sequence.
        throw ProfileError(Prefix() + ": field \"" + base::Printable(field) +
                           "\": " + base::Printable(problem));
    }

    static std::string Describe(const Json& value) {
        if (value.is_structured()) {
            return value.is_object() ? "an object" : "an array";
        }
        std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
        if (text.size() > 40) {
            text = text.substr(0, 37) + "...";
        }
        return text;
    }

    void Field(CardState& state, const std::string& key, const Json& value) const {
        if (key == "description") {
            state.description = String(value, key);
        } else if (key == "bios") {
            LoadBios(state, String(value, key));
        } else if (key == "misc_output") {
            state.misc_output = Number<std::uint8_t>(value, key);
        } else if (key == "crtc_index") {
            state.crtc_index = Number<std::uint8_t>(value, key);
        } else if (key == "extended_unlocked") {
            if (!value.is_boolean()) {
                Fail(key, "expected true or false, got " + Describe(value));
            }
            state.extended_unlocked = value.get<bool>();
        } else if (key == "crtc") {
            Table(value, key, state.crtc);
        } else if (key == "window_address") {
            state.window_address = Number<std::uint32_t>(value, key);
        } else if (key == "window_latch") {
            state.window_latch = Number<std::uint16_t>(value, key);
        } else if (key == "registers") {
            Table(value, key, state.registers);
        } else if (key == "faults") {
            if (!value.is_array()) {
                Fail(key, "expected an array of strings, got " + Describe(value));
            }
            for (std::size_t i = 0; i < value.size(); ++i) {
                state.faults.push_back(String(value[i], key + "[" + std::to_string(i) + "]"));
            }
        } else if (key == "started") {
            state.started = Started(value);
        } else {
            Fail(key,
                 "is not a profile field; the fields are description, bios, misc_output, "
                 "crtc_index, extended_unlocked, crtc, window_address, window_latch, registers, "
                 "started, faults");
        }
    }

    // {"core_pll": "0x…", "memory_pll": "0x…", "timings": ["0x…", "0x…", "0x…"]}
    StartedClocks Started(const Json& value) const {
        const bool shaped = value.is_object() && value.size() == 3 && value.contains("core_pll") &&
                            value.contains("memory_pll") && value.contains("timings") &&
                            value["timings"].is_array() && value["timings"].size() == 3;
        if (!shaped) {
            Fail("started",
                 "expected {\"core_pll\": \"0x…\", \"memory_pll\": \"0x…\", \"timings\": "
                 "[three values]}, got " +
                     Describe(value));
        }
        StartedClocks started;
        started.core_pll = Number<std::uint32_t>(value["core_pll"], "started.core_pll");
        started.memory_pll = Number<std::uint32_t>(value["memory_pll"], "started.memory_pll");
        for (std::size_t i = 0; i < 3; ++i) {
            started.timings[i] = Number<std::uint32_t>(
                value["timings"][i], "started.timings[" + std::to_string(i) + "]");
        }
        return started;
    }

    std::string String(const Json& value, const std::string& field) const {
        if (!value.is_string()) {
            Fail(field, "expected a string, got " + Describe(value));
        }
        return value.get<std::string>();
    }

    template <typename T>
    T Number(const Json& value, const std::string& field) const {
        constexpr std::uint64_t max = std::numeric_limits<T>::max();
        const std::string range = "; use a value from 0 to " + Hex(max, 0);
        std::optional<std::uint64_t> number;
        if (value.is_number_unsigned()) {
            number = value.get<std::uint64_t>();
        } else if (value.is_number_integer()) {
            Fail(field, Describe(value) + " is negative" + range);
        } else if (value.is_number_float()) {
            Fail(field, Describe(value) + " is not a whole number" + range);
        } else if (value.is_string()) {
            number = base::ParseUnsigned64(value.get<std::string>());
        }
        if (!number) {
            Fail(field,
                 "expected a number (JSON number or \"0x…\" string), got " + Describe(value));
        }
        if (*number > max) {
            Fail(field, Describe(value) + " is out of range" + range);
        }
        return static_cast<T>(*number);
    }

    template <typename Map>
    void Table(const Json& value, const std::string& field, Map& table) const {
        using Key = typename Map::key_type;
        constexpr std::uint64_t key_max = std::numeric_limits<Key>::max();
        if (!value.is_object()) {
            Fail(field, "expected an object of \"0x…\": value pairs, got " + Describe(value));
        }
        for (const auto& [key, entry] : value.items()) {
            const std::string name = field + "." + key;
            const auto number = base::ParseUnsigned64(key);
            if (!number) {
                Fail(name, "the key is not a number; write it as \"0x…\" (hex) or decimal");
            }
            if (*number > key_max) {
                Fail(name, "the key is out of range; use a key from 0 to " + Hex(key_max, 0));
            }
            const auto parsed = Number<typename Map::mapped_type>(entry, name);
            if (!table.emplace(static_cast<Key>(*number), parsed).second) {
                Fail(name,
                     "names the same entry as another key (" + Hex(*number, 0) + "); keep one");
            }
        }
    }

    void LoadBios(CardState& state, const std::string& relative) const {
        if (relative.empty()) {
            Fail("bios",
                 "is empty; name the image file (relative to the profile's folder) or "
                 "leave the field out");
        }
        const fs::path path = folder_ / relative;
        if (const auto error =
                ReadRegularFile(path, kMaxBiosFileBytes, kBiosReadBytes, state.bios)) {
            Fail("bios", "cannot read the BIOS image \"" + path.string() + "\" (" + *error +
                             "); name a raw video BIOS image of at most 16 MiB, relative to "
                             "the profile's folder");
        }
        state.bios_path = relative;
    }

    fs::path folder_;
    std::string name_;
    std::vector<Open> open_;
    std::string key_;
};

}  // namespace

CardState ParseProfile(const std::string& text, const std::filesystem::path& folder,
                       const std::string& name) {
    return ProfileParser(folder, name).Parse(text);
}

std::string FormatProfile(const CardState& state) {
    OrderedJson root = OrderedJson::object();
    if (!state.description.empty()) {
        root["description"] = state.description;
    }
    if (!state.bios_path.empty()) {
        root["bios"] = state.bios_path;
    }
    root["misc_output"] = Hex(state.misc_output, 2);
    root["crtc_index"] = Hex(state.crtc_index, 2);
    root["extended_unlocked"] = state.extended_unlocked;
    root["crtc"] = Table(state.crtc, 2, 2);
    root["window_address"] = Hex(state.window_address, 8);
    root["window_latch"] = Hex(state.window_latch, 4);
    root["registers"] = Table(state.registers, 6, 8);
    if (const auto& started = state.started) {
        root["started"] = {{"core_pll", Hex(started->core_pll, 8)},
                           {"memory_pll", Hex(started->memory_pll, 8)},
                           {"timings",
                            {Hex(started->timings[0], 8), Hex(started->timings[1], 8),
                             Hex(started->timings[2], 8)}}};
    }
    root["faults"] = state.faults;
    return root.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

}  // namespace ruvuvuri::hw
