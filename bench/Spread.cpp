// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spread.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace marovane::bench {

namespace {

double rank(const std::vector<double>& sorted, double percent) {
    const auto nearest = static_cast<std::size_t>(std::ceil(percent / 100 * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(nearest, 1) - 1];
}

}  // namespace

Spread spreadOf(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    return {rank(values, 50), rank(values, 99), values.back()};
}

double meanOf(const std::vector<double>& values) {
    if (values.empty()) return 0;
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

}  // namespace marovane::bench
