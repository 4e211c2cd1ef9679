// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace marovane::bench {

// The middle, the 99th percentile and the largest of a set of figures, by
// nearest rank; all 0 for an empty set.
struct Spread {
    double p50 = 0;
    double p99 = 0;
    double max = 0;
};

Spread spreadOf(std::vector<double> values);
double meanOf(const std::vector<double>& values);

}  // namespace marovane::bench
