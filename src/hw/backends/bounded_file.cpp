// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/error_text.h"

namespace ruvuvuri::hw {

std::optional<std::string> ReadRegularFile(const std::filesystem::path& path,
                                           std::uint64_t size_limit, std::size_t read_limit,
                                           std::vector<std::uint8_t>& bytes) {
    // Non-blocking, so that a FIFO or device named by mistake is refused below
    // instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return base::ErrorText(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::string("not a regular file");
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > size_limit) {
        ::close(fd);
        return "it is " + std::to_string(size) + " bytes long, over the limit of " +
               std::to_string(size_limit);
    }
    // The file may grow meanwhile; the limit on what is read holds anyway.
    bytes.assign(static_cast<std::size_t>(std::min<std::uint64_t>(size, read_limit)), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return base::ErrorText(error);
        }
        if (got == 0) {
            break;  // it shrank: what is there is what it holds
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    ::close(fd);
    return std::nullopt;
}

}  // namespace ruvuvuri::hw
