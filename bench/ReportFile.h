// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace marovane::bench {

// A block of docs/PERFORMANCE.md that each run of a benchmark rewrites,
// between markers of its name: "<!-- NAME:begin ... -->" and
// "<!-- NAME:end -->".
std::string blockBegin(const std::string& name);
std::string blockEnd(const std::string& name);

// Puts the block (markers included) in place of the file's block of that
// name, or adds it at the end of the file; the text around it is left alone.
void writeBlock(const std::string& path, const std::string& name, const std::string& block);

}  // namespace marovane::bench
