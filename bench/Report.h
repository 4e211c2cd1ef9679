// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Figures.h"

#include <string>

namespace marovane::bench {

// The figures of one run as the Markdown block that each run rewrites in
// docs/PERFORMANCE.md, with the machine and the versions they came from.
std::string reportBlock(const RunFigures& run);

// Puts the block between the file's markers for its server, or adds it at
// the end of the file; the text around them is left alone.
void writeReport(const std::string& path, bool pipeWire, const std::string& block);

}  // namespace marovane::bench
