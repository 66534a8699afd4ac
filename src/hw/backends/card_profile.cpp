#include "hw/backends/card_profile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>

#include "base/error_text.h"
#include "hw/backends/profile_files.h"

namespace ruvuvuri::hw {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr std::uint64_t kByteMax = 0xFF;
constexpr std::uint64_t kWordMax = 0xFFFF;
constexpr std::uint64_t kLongMax = 0xFFFFFFFF;

constexpr const char* kKnownFields[] = {
    "description",       "bios",   "misc_output",    "crtc_index",
    "extended_unlocked", "crtc",   "window_address", "window_latch",
    "registers",         "faults", "inject"};
constexpr const char* kInjectFields[] = {"reads_all_ones", "ignore_writes", "access_delay_us",
                                         "bracket_ignores_signals"};
// A second per access is already far beyond any bus; more is surely a typo.
constexpr std::uint64_t kMaxAccessDelayUs = 1000000;

std::string Hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

// Edit distance, to point at the field a misspelt one probably meant.
std::size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// "0x…" hexadecimal or plain decimal, nothing else; nothing when it is neither
// or does not fit in 64 bits.
std::optional<std::uint64_t> ParseNumberText(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::size_t start = hex ? 2 : 0;
    if (text.size() <= start) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        const std::uint64_t base = hex ? 16 : 10;
        if (value > (UINT64_MAX - digit) / base) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return value;
}

class ProfileParser {
  public:
    ProfileParser(const fs::path& folder, const std::string& name) : folder_(folder), name_(name) {}

    CardState Parse(const std::string& text) const {
        Json root;
        try {
            root = Json::parse(text);
        } catch (const Json::exception& error) {
            // Syntax errors, and numbers too large for a double (out_of_range).
            std::string what = error.what();
            const std::size_t bracket = what.find("] ");
            if (bracket != std::string::npos) {
                what.erase(0, bracket + 2);
            }
            throw ProfileError(Prefix() + " is not valid JSON: " + what +
                               "; correct the syntax there (an empty profile is {})");
        }
        if (!root.is_object()) {
            throw ProfileError(Prefix() +
                               ": expected a JSON object ({ … }) at the top level, got " +
                               Describe(root));
        }
        CardState state;
        state.crtc.clear();
        state.registers.clear();
        for (const auto& [key, value] : root.items()) {
            Field(state, key, value);
        }
        return state;
    }

  private:
    std::string Prefix() const { return "simulator profile " + name_; }

    [[noreturn]] void Fail(const std::string& field, const std::string& problem) const {
        // A key may hold any character; the message stays one line.
        std::string shown = field;
        std::replace_if(
            shown.begin(), shown.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, '?');
        throw ProfileError(Prefix() + ": field \"" + shown + "\": " + problem);
    }

    static std::string Describe(const Json& value) {
        if (value.is_object()) {
            return "an object";
        }
        if (value.is_array()) {
            return "an array";
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
            state.misc_output = static_cast<std::uint8_t>(Number(value, key, kByteMax));
        } else if (key == "crtc_index") {
            state.crtc_index = static_cast<std::uint8_t>(Number(value, key, kByteMax));
        } else if (key == "extended_unlocked") {
            state.extended_unlocked = Bool(value, key);
        } else if (key == "crtc") {
            Table(value, key, kByteMax, kByteMax, state.crtc);
        } else if (key == "window_address") {
            state.window_address = static_cast<std::uint32_t>(Number(value, key, kLongMax));
        } else if (key == "window_latch") {
            state.window_latch = static_cast<std::uint16_t>(Number(value, key, kWordMax));
        } else if (key == "registers") {
            Table(value, key, kLongMax, kLongMax, state.registers);
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
                inject.access_delay_us =
                    static_cast<std::uint32_t>(Number(entry, name, kMaxAccessDelayUs));
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
            const auto address = static_cast<std::uint32_t>(Number(value[i], name, kLongMax));
            if (address % 4 != 0) {
                Fail(name, Hex(address, 6) +
                               " is not a register address; card registers are 32 bits wide, at "
                               "multiples of 4");
            }
            if (std::find(inject.ignore_writes.begin(), inject.ignore_writes.end(), address) !=
                inject.ignore_writes.end()) {
                Fail(name, "names " + Hex(address, 6) + " a second time; keep one of them");
            }
            inject.ignore_writes.push_back(address);
        }
    }

    template <std::size_t N>
    [[noreturn]] void Unknown(const std::string& key, const std::string& prefix,
                              const char* const (&fields)[N]) const {
        std::string known;
        std::string closest;
        std::size_t best = 3;  // suggest only a near miss
        for (const char* field : fields) {
            known += known.empty() ? field : std::string(", ") + field;
            const std::size_t distance = Distance(key, field);
            if (distance < best) {
                best = distance;
                closest = field;
            }
        }
        std::string problem = "unknown field, probably a typo";
        if (!closest.empty()) {
            problem += " (did you mean \"" + closest + "\"?)";
        }
        Fail(prefix + key,
             problem + "; the fields" +
                 (prefix.empty() ? "" : " of " + prefix.substr(0, prefix.size() - 1)) + " are " +
                 known);
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

    std::uint64_t Number(const Json& value, const std::string& field, std::uint64_t max) const {
        const std::string range = "; use a value from 0 to " + Hex(max, 0);
        std::uint64_t number = 0;
        if (value.is_number_unsigned()) {
            number = value.get<std::uint64_t>();
        } else if (value.is_number_integer()) {
            Fail(field, Describe(value) + " is negative" + range);
        } else if (value.is_number_float()) {
            Fail(field, Describe(value) + " is not a whole number" + range);
        } else if (value.is_string()) {
            const auto parsed = ParseNumberText(value.get<std::string>());
            if (!parsed) {
                Fail(field,
                     "expected a number (JSON number or \"0x…\" string), got " + Describe(value));
            }
            number = *parsed;
        } else {
            Fail(field,
                 "expected a number (JSON number or \"0x…\" string), got " + Describe(value));
        }
        if (number > max) {
            Fail(field, Describe(value) + " is out of range" + range);
        }
        return number;
    }

    template <typename Map>
    void Table(const Json& value, const std::string& field, std::uint64_t key_max,
               std::uint64_t value_max, Map& table) const {
        if (!value.is_object()) {
            Fail(field, "expected an object of \"0x…\": value pairs, got " + Describe(value));
        }
        for (const auto& [key, entry] : value.items()) {
            const std::string name = field + "." + key;
            const auto number = ParseNumberText(key);
            if (!number) {
                Fail(name, "the key is not a number; write it as \"0x…\" (hex) or decimal");
            }
            if (*number > key_max) {
                Fail(name, "the key is out of range; use a key from 0 to " + Hex(key_max, 0));
            }
            const auto at = static_cast<typename Map::key_type>(*number);
            const auto parsed =
                static_cast<typename Map::mapped_type>(Number(entry, name, value_max));
            if (!table.emplace(at, parsed).second) {
                Fail(name, "names the same entry as another key (" + Hex(*number, 0) +
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
        if (const auto error = ReadRegularFile(path, state.bios)) {
            Fail("bios", "cannot read the BIOS image \"" + path.string() + "\" (" + *error +
                             "); the path is relative to the profile's folder");
        }
        state.bios_path = relative;
    }

    fs::path folder_;
    std::string name_;
};

}  // namespace

// The folder a profile lives in, for the BIOS path and the temporary file.
fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}
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
    OrderedJson crtc = OrderedJson::object();
    for (const auto& [index, value] : state.crtc) {
        crtc[Hex(index, 2)] = Hex(value, 2);
    }
    root["crtc"] = std::move(crtc);
    root["window_address"] = Hex(state.window_address, 8);
    root["window_latch"] = Hex(state.window_latch, 4);
    OrderedJson registers = OrderedJson::object();
    for (const auto& [address, value] : state.registers) {
        registers[Hex(address, 6)] = Hex(value, 8);
    }
    root["registers"] = std::move(registers);
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
                ignored.push_back(Hex(address, 6));
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
