// SPDX-License-Identifier: GPL-3.0-or-later
// Saving beat pattern files, and the names they may be saved under.
//
// A save never destroys what it replaces: the pattern goes into a new file
// beside the target, which is flushed to the disk and then renamed over the
// target in one step. Until that rename the old file is untouched; if
// anything fails before it, the new file is removed again.

#include "BeatPattern.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

namespace marovane {
namespace {

// The program's own file form: one digit and CR LF per box, 240 bytes.
std::optional<std::string> patternText(std::span<const std::int16_t, gridBoxes> values) {
    std::string text;
    text.reserve(gridBoxes * 3);
    for (const std::int16_t value : values) {
        if (value < 0 || value > 2) return std::nullopt;
        text += static_cast<char>('0' + value);
        text += "\r\n";
    }
    return text;
}

// Creates the new file in the target's folder under a name of its own that
// the folder's "*.txt" list never shows. Like any file the user creates, it is
// readable and writable by all, less the umask.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    constexpr std::string_view letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".beat-";
        for (int i = 0; i < 8; ++i) name += letters[pick(random)];
        temporary = target.parent_path() / name;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

bool writeBeatPattern(const std::filesystem::path& file, std::span<const std::int16_t, gridBoxes> values) {
    const auto text = patternText(values);
    if (!text) return false;

    // Writing in place would have been refused for a file the user may not
    // write; the rename needs only the folder, so ask first.
    struct stat old {};
    const bool replacing = ::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    if (replacing && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) return false;

    std::filesystem::path temporary;
    const int fd = createTemporary(file, temporary);
    if (fd < 0) return false;
    bool written = (!replacing || ::fchmod(fd, old.st_mode & 0777) == 0) && writeAll(fd, *text) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.c_str(), file.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

bool isPlainFileName(std::string_view name) {
    constexpr std::string_view separatorsAndNul{"/\\\0", 3};
    return name != "." && name != ".." && name.find_first_of(separatorsAndNul) == std::string_view::npos;
}

}  // namespace marovane
