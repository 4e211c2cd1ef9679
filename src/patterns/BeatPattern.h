#pragma once

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
constexpr int patternBoxes = 80;

// The box values of a pattern: the first boxes of the grid, at most 80 of them
// (a shorter file sets only its first boxes).
using PatternValues = std::vector<std::int16_t>;

// Reads a whole pattern, or nothing when any of it is refused: the grid is
// set only from a file that was read to its end without a fault.
std::optional<PatternValues> parseBeatPattern(std::istream& in);
std::optional<PatternValues> readBeatPattern(const std::filesystem::path& file);

// Writes the 80 values as the program's own file form. The file is replaced
// whole or not at all: on failure an existing file keeps its old content and
// no temporary file is left behind.
bool writeBeatPattern(const std::filesystem::path& file, std::span<const std::int16_t, patternBoxes> values);

// Whether a name typed for saving names a plain file inside the folder.
bool isPlainFileName(std::string_view name);

}  // namespace marovane
