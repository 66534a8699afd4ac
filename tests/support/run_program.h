// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ruvuvuri::test {

struct ProgramResult {
    int exit_code = -1;  // the exit status, or 128 + signal number
    std::string out;
    std::string err;
};

// An ordinary user to start a program as (only root can).
struct RunAs {
    std::uint32_t uid;  // uid_t and gid_t, as wide on every POSIX system the tests run on
    std::uint32_t gid;
};

// Runs a program with arguments, feeding `input` to its stdin and collecting
// stdout and stderr. `environment` entries replace or add variables; an empty
// value removes one. With `run_as`, the child becomes that user before exec.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "",
                         const std::map<std::string, std::string>& environment = {},
                         const std::optional<RunAs>& run_as = std::nullopt);

// The built program, run without a display so that panels use the console, and
// without the variables of a sudo or pkexec the suite itself may run under
// (`environment` can set them again).
ProgramResult RunRuvuvuri(const std::vector<std::string>& args, const std::string& input = "",
                          const std::map<std::string, std::string>& environment = {});

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& text);

// A fresh folder under the system's temporary folder, removed on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

}  // namespace ruvuvuri::test
