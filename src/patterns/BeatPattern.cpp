// SPDX-License-Identifier: GPL-3.0-or-later
// Reading beat pattern files.
//
// The program writes one digit and CR LF per box. The reader takes more than
// that, liberal where a hand-edited or exported file means one thing only and
// strict where it could mean several:
//
// - Values are separated by CR LF, by a lone LF (as Linux editors end lines)
//   or by commas. A lone CR is refused: it is also what a stray carriage
//   return inside a line looks like.
// - Spaces and tabs around a value are ignored. A tab is no separator.
// - A field without any digit reads 0, whatever bytes it holds: a word (in
//   any encoding, with control bytes or quotes), words with spaces between
//   them, a lone sign or point, and an empty field (a blank line, nothing
//   between two commas). So a blank line before the 80th value sets its box
//   to 0, and one after it is the refused 81st value.
// - A field with a digit must be one whole decimal number: an optional '+' or
//   '-' and digits. Two numbers in one field, a fraction, an exponent or any
//   byte before or after the number (a quote, say) is refused rather than
//   guessed at.
// - A UTF-8 byte-order mark at the very start of the file is skipped;
//   anywhere else its bytes are a field's like any others.
// - The separator after a value ends it; at the end of the file it opens no
//   empty field. A last value without a separator reads like one with it, and
//   an empty file holds no values.
// - After the 80th value and its separator any byte is refused, and reading
//   stops there. No field may be longer than patternFieldLimit bytes and no
//   file longer than patternFileLimit.

#include "BeatPattern.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <string>

namespace marovane {
namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view blanks = " \t";
constexpr std::string_view digits = "0123456789";

// The value of one field, or nothing when the field is refused.
std::optional<std::int16_t> fieldValue(std::string_view field) {
    const auto first = field.find_first_not_of(blanks);
    if (first == std::string_view::npos) return 0;
    field = field.substr(first, field.find_last_not_of(blanks) - first + 1);
    if (field.find_first_of(digits) == std::string_view::npos) return 0;

    const bool hasSign = field.front() == '+' || field.front() == '-';
    if (field.find_first_not_of(digits, hasSign ? 1 : 0) != std::string_view::npos) return std::nullopt;
    if (field.front() == '+') field.remove_prefix(1);
    std::int16_t number = 0;
    if (std::from_chars(field.data(), field.data() + field.size(), number).ec != std::errc{}) return std::nullopt;
    if (number < 0 || number > 2) return std::nullopt;
    return number;
}

// Takes a file byte by byte and refuses it at the first byte that settles a
// failure, so that nobody reads on after that.
class PatternReader {
public:
    // False once the input is refused.
    bool take(char c) {
        if (++bytes_ > patternFileLimit || values_.size() == gridBoxes) return false;
        if (afterCr_) {
            afterCr_ = false;
            return c == '\n' && endField();
        }
        if (c == '\r') {
            afterCr_ = true;
            return true;
        }
        if (c == '\n' || c == ',') return endField();
        field_ += c;
        return field().size() <= patternFieldLimit;
    }

    // The values, once the input has ended.
    std::optional<PatternValues> finish() {
        if (afterCr_) return std::nullopt;
        if (!field().empty() && !endField()) return std::nullopt;
        return std::move(values_);
    }

private:
    // The field being read, without a byte-order mark at the start of the file.
    std::string_view field() const {
        std::string_view bytes = field_;
        if (values_.empty() && bytes.starts_with(byteOrderMark)) bytes.remove_prefix(byteOrderMark.size());
        return bytes;
    }

    bool endField() {
        const auto value = fieldValue(field());
        field_.clear();
        if (!value) return false;
        values_.push_back(*value);
        return true;
    }

    PatternValues values_;
    std::string field_;  // the bytes since the last separator
    std::size_t bytes_ = 0;
    bool afterCr_ = false;
};

// An open file as a stream, read a block at a time as the reader asks.
class DescriptorInput : public std::streambuf {
public:
    explicit DescriptorInput(int fd) : fd_(fd) {}
    bool failed() const { return failed_; }

protected:
    int_type underflow() override {
        ssize_t got = 0;
        do {
            got = ::read(fd_, block_.data(), block_.size());
        } while (got < 0 && errno == EINTR);
        failed_ = got < 0;
        if (got <= 0) return traits_type::eof();
        setg(block_.data(), block_.data(), block_.data() + got);
        return traits_type::to_int_type(block_.front());
    }

private:
    int fd_;
    std::array<char, 512> block_{};
    bool failed_ = false;
};

}  // namespace

std::optional<PatternValues> parseBeatPattern(std::istream& in) {
    PatternReader reader;
    char c = 0;
    while (in.get(c)) {
        if (!reader.take(c)) return std::nullopt;
    }
    if (in.bad()) return std::nullopt;  // the stream could not be read
    return reader.finish();
}

std::optional<PatternValues> readBeatPattern(const std::filesystem::path& file) {
    // Opening a FIFO waits for a writer, and reading one or a device may wait
    // for ever; opened without waiting, anything but a regular file is
    // refused before a byte is read.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat status {};
    std::optional<PatternValues> values;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        DescriptorInput buffer(fd);
        std::istream in(&buffer);
        values = parseBeatPattern(in);
        if (buffer.failed()) values.reset();
    }
    ::close(fd);
    return values;
}

}  // namespace marovane
