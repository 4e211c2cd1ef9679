// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the pattern reader: no input may crash it, and what it
// accepts must fit the grid, at most 80 values of 0, 1 or 2.

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>

#include "patterns/BeatPattern.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const auto values = marovane::parseBeatPattern(in);
    if (!values) return 0;
    const bool fits = values->size() <= marovane::gridBoxes &&
                      std::all_of(values->begin(), values->end(), [](std::int16_t v) { return v >= 0 && v <= 2; });
    if (!fits) std::abort();
    return 0;
}
