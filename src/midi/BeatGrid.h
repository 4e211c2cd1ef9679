// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace marovane {

// The beat grid: five rows of sixteen columns, box index = row * 16 + column,
// rows counted from the top and columns from the left. A pattern file holds
// one value per box in this order.
constexpr int gridRows = 5;
constexpr int gridColumns = 16;
constexpr int gridBoxes = gridRows * gridColumns;

}  // namespace marovane
