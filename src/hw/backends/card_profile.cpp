// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/card_profile.h"

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <unordered_set>
#include <vector>

#include "base/number_text.h"
#include "base/printable.h"
#include "hw/backends/bounded_file.h"
#include "hw/backends/profile_suggestion.h"

namespace ruvuvuri::hw {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr const char* kKnownFields[] = {
    "description",       "bios",   "misc_output",    "crtc_index",
    "extended_unlocked", "crtc",   "window_address", "window_latch",
    "registers",         "faults", "inject"};
constexpr const char* kInjectFields[] = {"reads_all_ones", "ignore_writes", "access_delay_us",
                                         "bracket_ignores_signals"};
// A second per access is already far beyond any bus; more is surely a typo.
constexpr std::uint64_t kMaxAccessDelayUs = 1000000;

// The card check reads 8 KB at 0xC0000; the model shows zeros beyond the image.
constexpr std::size_t kBiosReadBytes = 8192;
// The largest expansion ROM a PCI card can decode.
constexpr std::uint64_t kMaxBiosFileBytes = 16u << 20;

// Refuses a key that appears twice in one object. The JSON reader would keep
// the last one silently, so a profile edited by hand could program a value
// its author had meant to replace.
class DuplicateKeyCheck {
  public:
    // The dotted name of a key met a second time in its object, or nothing.
    std::optional<std::string> Event(Json::parse_event_t event, const Json& parsed) {
        using Kind = Json::parse_event_t;
        if (event == Kind::object_start || event == Kind::array_start) {
            open_.push_back({Child(), event == Kind::object_start, {}});
        } else if ((event == Kind::object_end || event == Kind::array_end) && !open_.empty()) {
            open_.pop_back();
        } else if (event == Kind::key) {
            key_ = parsed.get<std::string>();
            if (!open_.empty() && !open_.back().keys.insert(key_).second) {
                return Child();
            }
        }
        return std::nullopt;
    }

  private:
    struct Open {
        std::string path;
        bool object;
        std::unordered_set<std::string> keys;
    };

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

    std::vector<Open> open_;
    std::string key_;
};

class ProfileParser {
  public:
    ProfileParser(const fs::path& folder, const std::string& name) : folder_(folder), name_(name) {}

    CardState Parse(const std::string& text) const {
        // The JSON reader takes a NUL byte for the end of its input, and would
        // not see what follows it.
        if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
            throw ProfileError(Prefix() + " is not valid JSON: byte " + std::to_string(nul) +
                               " is a NUL character; remove it and anything after the JSON "
                               "value");
        }
        DuplicateKeyCheck duplicates;
        const auto check = [&](int /*depth*/, Json::parse_event_t event, Json& parsed) {
            if (const auto field = duplicates.Event(event, parsed)) {
                Fail(*field, "appears twice in its object; keep one of them");
            }
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
            state.extended_unlocked = Bool(value, key);
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
        } else if (key == "inject") {
            Inject(state.inject, value);
        } else {
            Unknown(key, "", kKnownFields);
        }
    }

    void Inject(FaultInjection& inject, const Json& value) const {
        if (!value.is_object()) {
            Fail("inject",
                 "expected an object such as {\"reads_all_ones\": true}, got " + Describe(value));
        }
        inject.given = true;
        for (const auto& [key, entry] : value.items()) {
            const std::string name = "inject." + key;
            if (key == "reads_all_ones") {
                inject.reads_all_ones = Bool(entry, name);
            } else if (key == "bracket_ignores_signals") {
                inject.bracket_ignores_signals = Bool(entry, name);
            } else if (key == "access_delay_us") {
                inject.access_delay_us = Number<std::uint32_t>(entry, name, kMaxAccessDelayUs);
            } else if (key == "ignore_writes") {
                IgnoreWrites(inject, entry, name);
            } else {
                Unknown(key, "inject.", kInjectFields);
            }
        }
    }

    void IgnoreWrites(FaultInjection& inject, const Json& value, const std::string& field) const {
        if (!value.is_array()) {
            Fail(field,
                 "expected an array of card register addresses such as [\"0x680500\"], got " +
                     Describe(value));
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            const std::string name = field + "[" + std::to_string(i) + "]";
            const auto address = Number<std::uint32_t>(value[i], name);
            if (address % 4 != 0) {
                Fail(name, ProfileHex(address, 6) +
                               " is not a register address; card registers are 32 bits wide, at "
                               "multiples of 4");
            }
            if (std::find(inject.ignore_writes.begin(), inject.ignore_writes.end(), address) !=
                inject.ignore_writes.end()) {
                Fail(name, "names " + ProfileHex(address, 6) + " a second time; keep one of them");
            }
            inject.ignore_writes.push_back(address);
        }
    }

    [[noreturn]] void Unknown(const std::string& key, const std::string& prefix,
                              std::span<const char* const> fields) const {
        Fail(prefix + key, UnknownFieldProblem(key, prefix, fields));
    }

    bool Bool(const Json& value, const std::string& field) const {
        if (!value.is_boolean()) {
            Fail(field, "expected true or false, got " + Describe(value));
        }
        return value.get<bool>();
    }

    std::string String(const Json& value, const std::string& field) const {
        if (!value.is_string()) {
            Fail(field, "expected a string, got " + Describe(value));
        }
        return value.get<std::string>();
    }

    // At most `max`, which is at most what T holds.
    template <typename T>
    T Number(const Json& value, const std::string& field,
             std::uint64_t max = std::numeric_limits<T>::max()) const {
        const std::string range = "; use a value from 0 to " + ProfileHex(max, 0);
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
                Fail(name,
                     "the key is out of range; use a key from 0 to " + ProfileHex(key_max, 0));
            }
            const auto parsed = Number<typename Map::mapped_type>(entry, name);
            if (!table.emplace(static_cast<Key>(*number), parsed).second) {
                Fail(name, "names the same entry as another key (" + ProfileHex(*number, 0) +
                               "); keep one of them");
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
};

}  // namespace

CardState ParseProfile(const std::string& text, const std::filesystem::path& folder,
                       const std::string& name) {
    return ProfileParser(folder, name).Parse(text);
}

}  // namespace ruvuvuri::hw
