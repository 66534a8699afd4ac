// SPDX-License-Identifier: GPL-2.0-or-later
// Whole-file reads and writes for the tests, the same on every platform.
#include <fstream>
#include <sstream>

#include "support/run_program.h"

namespace ruvuvuri::test {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace ruvuvuri::test
