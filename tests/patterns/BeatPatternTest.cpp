// SPDX-License-Identifier: GPL-3.0-or-later
#include "patterns/BeatPattern.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace marovane {
namespace {

std::optional<PatternValues> parse(const std::string& text) {
    std::istringstream in(text);
    return parseBeatPattern(in);
}

// The values as digits, each followed by the separator.
std::string patternText(const PatternValues& values, const std::string& separator) {
    std::string text;
    for (const auto value : values) text += std::to_string(value) + separator;
    return text;
}

struct ReadCase {
    std::string text;
    PatternValues values;
};

// The forms the program writes and those that the reader takes besides.
TEST(ParseBeatPattern, ReadsTheFormsItTakes) {
    const ReadCase cases[] = {
        {"", {}},  // an empty file sets no box
        {"1\r\n", {1}},
        {"1", {1}},  // a last value without its line end
        {"1\r\n0\r\n2\r\n", {1, 0, 2}},
        {"1,0,2", {1, 0, 2}},
        {"1,0,2,", {1, 0, 2}},     // the separator ends the value and opens nothing
        {"1\n0\n2\n", {1, 0, 2}},  // Linux line ends
        {"1\r\n2,0\n1", {1, 2, 0, 1}},
        {" 1 ,\t2\t\r\n  0  ", {1, 2, 0}},  // spaces and tabs around values
        {"on\r\n1", {0, 1}},                // a word reads 0
        {"clear box,1", {0, 1}},            // so do words with spaces between them
        {"-,+,.,1", {0, 0, 0, 1}},          // and a lone sign or point
        {"\r\n\r\n1", {0, 0, 1}},           // a blank line is an empty field, read as 0
        {"1,,2", {1, 0, 2}},
        {"   ", {0}},
        {"1\r\n   ", {1, 0}},
        {"+1,-0,002,+0,-00", {1, 0, 2, 0, 0}},
        {"\xEF\xBB\xBF", {}},  // a byte-order mark at the very start is skipped
        {"\xEF\xBB\xBF"
         "1,2",
         {1, 2}},
        {std::string(patternFieldLimit - 1, ' ') + "1", {1}},  // the longest field
        // a word reads 0 whatever bytes it holds: not ASCII, control bytes,
        // quotes, a byte-order mark that is not at the start or is cut short
        {"\xC3\xA9t\xC3\xA9\r\n1", {0, 1}},
        {"caf\xC3\xA9,\xE9t\xE9", {0, 0}},
        {std::string("\x01\x7F\x1B\0 bell\a", 10), {0}},
        {"\"word\",1,\"\"", {0, 1, 0}},
        {"1,\xEF\xBB\xBF", {1, 0}},
        {"\xEF\xBB", {0}},
        {std::string(patternFieldLimit, '\xE9'), {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        const auto values = parse(c.text);
        ASSERT_TRUE(values.has_value());
        EXPECT_EQ(*values, c.values);
    }
}

// Whatever the fault, a refused file yields no values at all, so that the
// caller changes no box.
TEST(ParseBeatPattern, RefusesTheWholeFileForAnyFault) {
    const std::string refused[] = {// values the box does not hold, and numbers beyond 16 bits
                                   "3", "-1", "1\r\n0\r\n-1\r\n", "32767", "32768", "-32769", "99999999999999999999",
                                   // two numbers in one field, fractions, exponents, other bases
                                   "1 2", "1\t2", "1.5", "1.0", ".5", "1e0", "0x1",
                                   // characters before or after a number
                                   "1abc", "abc1", "#1", "1;", "1 x", "x 1", "+-1", "-+1", "--1", "+ 1", "- 1",
                                   // a number in quotes or beside any other byte
                                   "\"1\"", std::string("1\0", 2), "1\x1B", "1\xC3\xA9",
                                   "\xC2\xA0"
                                   "1",
                                   "1,\xEF\xBB\xBF"
                                   "1",
                                   "\xEF\xBB"
                                   "1",
                                   // a lone CR, inside the file or at its end, in a word too
                                   "1\r2", "1\r", "1\r\r\n", "\xC3\xA9t\xC3\xA9\r",
                                   // a field one byte too long, even of spaces or of bytes that are no text
                                   std::string(patternFieldLimit, ' ') + "1", std::string(patternFieldLimit + 1, 'x'),
                                   std::string(patternFieldLimit + 1, '\xE9')};
    for (const auto& text : refused) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_FALSE(parse(text).has_value());
    }
}

PatternValues someGrid() {
    PatternValues grid(gridBoxes, 0);
    for (int box = 0; box < gridBoxes; ++box) grid[box] = static_cast<std::int16_t>(box * 7 % 3);
    return grid;
}

TEST(ParseBeatPattern, ReadsAWholeGridInEveryLayout) {
    const auto grid = someGrid();
    const std::string layouts[] = {
        patternText(grid, "\r\n"),                 // the program's own form
        patternText(grid, "\r\n").substr(0, 238),  // its last line end missing
        patternText(grid, "\n"),
        patternText(grid, ","),  // all on one line
        patternText(grid, ",").substr(0, 159),
        patternText(grid, " ,"),
        patternText(grid, "\t\r\n"),
        "\xEF\xBB\xBF" + patternText(grid, "\r\n"),
    };
    for (const auto& text : layouts) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EXPECT_EQ(parse(text), grid);
    }
}

TEST(ParseBeatPattern, AShortFileYieldsOnlyItsValues) {
    const auto grid = someGrid();
    const PatternValues first40(grid.begin(), grid.begin() + 40);
    EXPECT_EQ(parse(patternText(first40, "\r\n")), first40);
}

TEST(ParseBeatPattern, NothingMayFollowTheEightiethValue) {
    const auto grid = someGrid();
    const std::string written = patternText(grid, "\r\n");
    const std::string refused[] = {
        written + "\r\n",   // one blank line
        written + "  ",     // a few spaces
        written + "0\r\n",  // an 81st value
        written + ",",     written + "\n", written + "\xEF\xBB\xBF", patternText(grid, ",") + "1",
    };
    for (const auto& text : refused) {
        SCOPED_TRACE(::testing::PrintToString(text.substr(text.size() - 10)));
        EXPECT_FALSE(parse(text).has_value());
    }
}

TEST(ParseBeatPattern, AFaultInTheTenthLineRefusesTheWholeFile) {
    auto lines = someGrid();
    for (const std::int16_t bad : {3, -1}) {
        lines[9] = bad;
        EXPECT_FALSE(parse(patternText(lines, "\r\n")).has_value()) << bad;
    }
}

// A file of 80 values padded with spaces to the given length.
std::string paddedPattern(std::size_t length) {
    std::string text;
    std::size_t padding = length - gridBoxes * 3;
    for (int box = 0; box < gridBoxes; ++box) {
        const std::size_t here = std::min(padding, patternFieldLimit - 1);
        text += "1" + std::string(here, ' ') + "\r\n";
        padding -= here;
    }
    return text;
}

TEST(ParseBeatPattern, TakesAFileUpToItsLimit) {
    ASSERT_EQ(paddedPattern(patternFileLimit).size(), patternFileLimit);
    EXPECT_EQ(parse(paddedPattern(patternFileLimit)), PatternValues(gridBoxes, 1));
    EXPECT_FALSE(parse(paddedPattern(patternFileLimit + 1)).has_value());
}

// An input that never ends, repeating its text, that counts what it gave.
class EndlessInput : public std::streambuf {
public:
    explicit EndlessInput(std::string text) : text_(std::move(text)) {}
    std::size_t given() const { return given_; }

protected:
    int_type underflow() override {
        given_ += text_.size();
        setg(text_.data(), text_.data(), text_.data() + text_.size());
        return traits_type::to_int_type(text_.front());
    }

private:
    std::string text_;
    std::size_t given_ = 0;
};

TEST(ParseBeatPattern, StopsEarlyOnAnEndlessInput) {
    const std::string repeated[] = {" ", "word", "1,", "1\r\n", "1, ", std::string(1, '\0')};
    for (const auto& text : repeated) {
        SCOPED_TRACE(::testing::PrintToString(text));
        EndlessInput endless(text);
        std::istream in(&endless);
        EXPECT_FALSE(parseBeatPattern(in).has_value());
        EXPECT_LE(endless.given(), patternFileLimit + text.size());
    }
}

TEST(ReadBeatPattern, RefusesWhatIsNoPatternFile) {
    const std::filesystem::path notPatterns[] = {"/dev/null", "/dev/zero", "/dev/urandom", "/nonexistent/pattern.txt",
                                                 ::testing::TempDir()};
    for (const auto& path : notPatterns) EXPECT_FALSE(readBeatPattern(path).has_value()) << path;
}

}  // namespace
}  // namespace marovane
