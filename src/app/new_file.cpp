// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/new_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/error_text.h"
#include "hw/backends/card_profile.h"
#include "hw/backends/write_all.h"

namespace ruvuvuri::app {

using hw::ProfileError;
namespace fs = std::filesystem;

bool NothingAt(const fs::path& path) {
    struct stat existing {};
    return ::lstat(path.c_str(), &existing) != 0 && errno == ENOENT;
}

// Writes `bytes` to a new file at `path`: a temporary file in the same folder
// first, then a hard link under the final name, which fails rather than
// replace anything there. The name thus never shows a half-written file.
void WriteNewFile(const fs::path& path, std::string_view bytes, const std::string& cannot_create) {
    // Built piece by piece: GCC 12 at -O3 warns wrongly about "." + string.
    std::string hidden = ".";
    hidden += path.filename().string().substr(0, 64);
    hidden += ".XXXXXX";
    std::string temp = (path.parent_path() / hidden).string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        throw ProfileError(cannot_create + " (" + base::ErrorText(errno) +
                           "); give --sim= a file in an existing, writable folder");
    }
    // mkostemp makes the file private; a profile is an ordinary file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const bool written = ::fchmod(fd, 0666 & ~mask) == 0 &&
                         hw::WriteAll(fd, bytes.data(), bytes.size()) == 0 && ::fsync(fd) == 0;
    const int write_error = errno;
    ::close(fd);
    const bool linked = written && ::link(temp.c_str(), path.c_str()) == 0;
    const int link_error = errno;
    ::unlink(temp.c_str());
    if (!written) {
        throw ProfileError(cannot_create + " (" + base::ErrorText(write_error) +
                           "); free some space in its folder or choose another folder");
    }
    if (!linked) {
        throw ProfileError(cannot_create + " (" + base::ErrorText(link_error) + "); " +
                           (link_error == EEXIST
                                ? "remove " + path.string() + " or give the profile another name"
                                : "choose a folder on a local file system"));
    }
}

void RemoveFile(const fs::path& path) {
    ::unlink(path.c_str());
}

}  // namespace ruvuvuri::app
