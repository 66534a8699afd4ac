#include "hw/backends/card_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "base/error_text.h"
#include "base/number_text.h"

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

constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockPoll = std::chrono::milliseconds(50);

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
    return base::ParseUnsigned64(text);
}

// Reads a whole regular file; the error text on failure.
std::optional<std::string> ReadFile(const fs::path& path, std::vector<std::uint8_t>& bytes) {
    // Non-blocking, so that a FIFO or device named by mistake is refused below
    // instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return base::ErrorText(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::string("not a regular file");
    }
    bytes.clear();
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return base::ErrorText(error);
        }
        if (got == 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    ::close(fd);
    return std::nullopt;
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
        if (const auto error = ReadFile(path, state.bios)) {
            Fail("bios", "cannot read the BIOS image \"" + path.string() + "\" (" + *error +
                             "); the path is relative to the profile's folder");
        }
        state.bios_path = relative;
    }

    fs::path folder_;
    std::string name_;
};

// The folder a profile lives in, for the BIOS path and the temporary file.
fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

std::string TempTemplate(const fs::path& path) {
    // Short enough for any file name the profile itself may have.
    return (FolderOf(path) / ("." + path.filename().string().substr(0, 64) + ".XXXXXX")).string();
}

std::string UnwritableMessage(const fs::path& path, const std::string& what, int error) {
    return "simulator profile " + path.string() + " cannot be saved: " + what +
           " in its folder \"" + FolderOf(path).string() + "\" (" + base::ErrorText(error) +
           "); make the folder writable or copy the profile to a writable folder";
}

// A temporary file beside the profile: created, and removed again unless it
// was renamed over the profile.
class TempFile {
  public:
    explicit TempFile(const fs::path& profile) : name_(TempTemplate(profile)) {
        fd_ = ::mkostemp(name_.data(), O_CLOEXEC);
        if (fd_ < 0) {
            throw ProfileError(UnwritableMessage(profile, "cannot create a file", errno));
        }
    }
    ~TempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!renamed_) {
            ::unlink(name_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    // Hands the descriptor over (it now names the renamed file).
    int Release() {
        renamed_ = true;
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    std::string name_;
    int fd_ = -1;
    bool renamed_ = false;
};

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool SameFile(int fd, const fs::path& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

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

ProfileSession::ProfileSession(const std::filesystem::path& path) : path_(path) {
    std::error_code ignored;
    // Saving replaces the file the link points at, not the link.
    if (fs::is_symlink(path_, ignored)) {
        path_ = fs::canonical(path_, ignored);
        if (path_.empty()) {
            path_ = path;
        }
    }
    const std::string name = path_.string();
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            throw ProfileError("cannot open simulator profile " + name + " (" +
                               base::ErrorText(errno) +
                               "); check the path (a new profile may be {})");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // A run that saved meanwhile renamed a new file over the path: the
            // lock has to be on the file the path names now.
            if (SameFile(fd, path_)) {
                lock_fd_ = fd;
                break;
            }
            ::close(fd);
        } else {
            const int error = errno;
            ::close(fd);
            if (error != EWOULDBLOCK && error != EINTR) {
                throw ProfileError("cannot lock simulator profile " + name + " (" +
                                   base::ErrorText(error) +
                                   "); use a profile on a local file system");
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw ProfileError("simulator profile " + name +
                               " is in use: another run holds the profile; try again when it "
                               "has ended");
        }
        std::this_thread::sleep_for(kLockPoll);
    }

    try {
        std::vector<std::uint8_t> bytes;
        if (const auto error = ReadFile(path_, bytes)) {
            throw ProfileError("cannot read simulator profile " + name + " (" + *error + ")");
        }
        loaded_ = ParseProfile(std::string(bytes.begin(), bytes.end()), FolderOf(path_), name);
        // Find out now, before the run reprograms the card, whether its state
        // can be saved at the end.
        TempFile probe(path_);
    } catch (...) {
        ::close(lock_fd_);
        lock_fd_ = -1;
        throw;
    }
}

ProfileSession::~ProfileSession() {
    if (lock_fd_ >= 0) {
        ::close(lock_fd_);
    }
}

void ProfileSession::Save(const CardState& state) const {
    const std::string text = FormatProfile(state);
    TempFile temp(path_);
    struct stat original {};
    if (::fstat(lock_fd_, &original) == 0) {
        // Keep the owner and permissions the profile had; a failure to keep
        // the owner leaves the file the run's own, which is still usable.
        if (::fchown(temp.fd(), original.st_uid, original.st_gid) != 0) {
            errno = 0;
        }
        ::fchmod(temp.fd(), original.st_mode & 07777);
    }
    if (!WriteAll(temp.fd(), text) || ::fsync(temp.fd()) != 0) {
        throw ProfileError(UnwritableMessage(path_, "cannot write a file", errno));
    }
    // Lock the new file before it appears under the profile's name, so the run
    // keeps the profile to itself until the session ends.
    ::flock(temp.fd(), LOCK_EX | LOCK_NB);
    if (::rename(temp.name().c_str(), path_.c_str()) != 0) {
        throw ProfileError(UnwritableMessage(path_, "cannot replace the profile", errno));
    }
    const int new_fd = temp.Release();
    ::close(lock_fd_);
    lock_fd_ = new_fd;
    const int folder = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

}  // namespace ruvuvuri::hw
