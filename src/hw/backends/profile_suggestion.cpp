// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/backends/profile_suggestion.h"

#include <algorithm>
#include <vector>

namespace ruvuvuri::hw {
namespace {

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

}  // namespace

std::string UnknownFieldProblem(const std::string& key, const std::string& prefix,
                                std::span<const char* const> known_fields) {
    std::string known;
    std::string closest;
    std::size_t best = 3;  // suggest only a near miss
    for (const char* field : known_fields) {
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
    return problem + "; the fields" +
           (prefix.empty() ? "" : " of " + prefix.substr(0, prefix.size() - 1)) + " are " + known;
}

}  // namespace ruvuvuri::hw
