// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/profile_seed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "app/builtin_card.h"
#include "base/error_text.h"
#include "hw/backends/card_profile.h"

namespace ruvuvuri::app {

using hw::CardState;
using hw::FormatProfile;
using hw::ProfileError;

namespace fs = std::filesystem;

namespace {

fs::path FolderOf(const fs::path& path) {
    const fs::path folder = path.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

fs::path BiosPathFor(const fs::path& profile) {
    fs::path bios = profile;
    bios.replace_extension(".rom");
    if (bios == profile) {  // a profile itself named *.rom
        bios += ".rom";
    }
    return bios;
}

// What a failure to create `file` for the new profile `profile` is called.
std::string CannotCreate(const fs::path& file, const fs::path& profile) {
    return file == profile ? "cannot create the new simulator profile " + profile.string()
                           : "cannot create the BIOS image " + file.string() +
                                 " for the new simulator profile " + profile.string();
}

// Writes `bytes` to a new file at `path`: a temporary file in the same folder
// first, then a hard link under the final name, which fails rather than
// replace anything there. The name thus never shows a half-written file.
void WriteNewFile(const fs::path& path, std::string_view bytes, const fs::path& profile) {
    // Built piece by piece: GCC 12 at -O3 warns wrongly about "." + string.
    std::string hidden = ".";
    hidden += path.filename().string().substr(0, 64);
    hidden += ".XXXXXX";
    std::string temp = (FolderOf(path) / hidden).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        throw ProfileError(CannotCreate(path, profile) + " (" + base::ErrorText(errno) +
                           "); give --sim= a file in an existing, writable folder");
    }
    // mkostemp makes the file private; a profile is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool written = ::fchmod(fd, 0666 & ~mask) == 0;
    for (std::size_t done = 0; written && done < bytes.size();) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        written = wrote > 0;
        done += written ? static_cast<std::size_t>(wrote) : 0;
    }
    written = written && ::fsync(fd) == 0;
    const int write_error = errno;
    ::close(fd);
    const bool linked = written && ::link(temp.c_str(), path.c_str()) == 0;
    const int link_error = errno;
    ::unlink(temp.c_str());
    if (!written) {
        throw ProfileError(CannotCreate(path, profile) + " (" + base::ErrorText(write_error) +
                           "); free some space in its folder or choose another folder");
    }
    if (!linked) {
        throw ProfileError(
            CannotCreate(path, profile) + " (" + base::ErrorText(link_error) + "); " +
            (link_error == EEXIST ? "remove " + path.string() + " or give the profile another name"
                                  : "choose a folder on a local file system"));
    }
}

}  // namespace

std::optional<SeededProfile> SeedProfileIfMissing(const fs::path& path) {
    struct stat existing {};
    if (path.empty() || ::lstat(path.c_str(), &existing) == 0 || errno != ENOENT) {
        return std::nullopt;  // there is something (or the folder cannot be read): open it as is
    }
    SeededProfile seeded{path, BiosPathFor(path)};
    CardState card = BuiltinGeForce2Gts();
    card.description = "GeForce2 GTS, 32 MB DDR";
    card.bios_path = seeded.bios.filename().string();

    const std::string bios(card.bios.begin(), card.bios.end());
    WriteNewFile(seeded.bios, bios, path);
    try {
        WriteNewFile(seeded.profile, FormatProfile(card), path);
    } catch (const ProfileError&) {
        ::unlink(seeded.bios.c_str());
        if (::lstat(path.c_str(), &existing) == 0) {
            return std::nullopt;  // another run created it meanwhile: use that one
        }
        throw;
    }
    return seeded;
}

std::string SeededProfileNotice(const SeededProfile& seeded) {
    return "created the simulator profile " + seeded.profile.string() +
           " (a GeForce2 GTS, like --sim) with its BIOS image " + seeded.bios.string() +
           "; the card's state is kept there from run to run";
}

}  // namespace ruvuvuri::app
