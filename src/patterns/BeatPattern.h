// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/BeatGrid.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace marovane {

// A beat pattern file holds the values of the 80 grid boxes in box order,
// one per line: 0 clear, 1 ticked, 2 dimmed.

// The box values of a pattern: the first boxes of the grid, at most 80 of them
// (a shorter file sets only its first boxes).
using PatternValues = std::vector<std::int16_t>;

// What the reader takes at most: one field (a value with the spaces around it)
// and a whole file. Anything longer is refused once these are passed, so an
// endless or huge input costs no more than this much reading.
constexpr std::size_t patternFieldLimit = 64;
constexpr std::size_t patternFileLimit = 4096;

// Reads a whole pattern, or nothing when any of it is refused: the grid is
// set only from a file that was read to its end without a fault. A file is
// read only when it is a regular file (or a link to one); anything else, a
// FIFO, a device or a folder, is refused at once, never waited for.
std::optional<PatternValues> parseBeatPattern(std::istream& in);
std::optional<PatternValues> readBeatPattern(const std::filesystem::path& file);

// Writes the 80 values as the program's own file form, into the file a link
// leads to when the name is a link. Where the folder allows it, the file is
// replaced whole or not at all: on failure an existing file keeps its old
// content and no temporary file is left behind. Where it does not (a folder
// the user may not write), a file the user may write is written in place. A
// value other than 0, 1 or 2 is refused before anything is written. A new
// file gets the permissions of any file the user creates (0666 less the
// umask); a replaced file keeps its own, and its owner and group as far as
// the user may give them; one that the user may not write is not replaced.
bool writeBeatPattern(const std::filesystem::path& file, std::span<const std::int16_t, gridBoxes> values);

// Whether a whole file name (".txt" included) names a plain file inside the
// folder: it is not empty, "." or "..", and holds no '/', '\' or NUL.
bool isPlainFileName(std::string_view name);

}  // namespace marovane
