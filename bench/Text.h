// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>

namespace marovane::bench {

// printf-style formatting into a string.
template <class... Values>
std::string text(const char* pattern, Values... values) {
    const int size = std::snprintf(nullptr, 0, pattern, values...);
    if (size <= 0) return {};
    std::string formatted(static_cast<std::size_t>(size), '\0');
    std::snprintf(formatted.data(), formatted.size() + 1, pattern, values...);
    return formatted;
}

}  // namespace marovane::bench
