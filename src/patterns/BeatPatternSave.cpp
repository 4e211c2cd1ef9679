// SPDX-License-Identifier: GPL-3.0-or-later
// Saving beat pattern files, and the names they may be saved under.
//
// A save does not destroy what it replaces where the folder allows another
// way: the pattern goes into a new file beside the target, which is flushed to
// the disk and then renamed over the target in one step. Until that rename the
// old file is untouched; if anything fails before it, the new file is removed
// again. Where the folder refuses the new file or the rename (a folder the
// user may not write, or another's file in a sticky folder), the file is
// written in place, as any editor would, at the risk of a half-written file.

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

bool writeAndClose(int fd, std::string_view text) {
    const bool written = writeAll(fd, text) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

// Where a save lands: the file itself, or the file its links lead to, so that
// a link stays a link. Nothing when the links go round in a loop.
std::optional<std::filesystem::path> linkTarget(std::filesystem::path file) {
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(file, error))) return file;
        const std::filesystem::path next = std::filesystem::read_symlink(file, error);
        if (error) return std::nullopt;
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    return std::nullopt;
}

// Gives a new file the owner and group of the one it replaces, where the user
// may: root any, others their own uid and the groups they belong to. Where
// they may not, the file stays theirs, as one they made; false then.
bool keepOwner(int fd, const struct stat& old) {
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 || ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
}

enum class Replaced { yes, no, notHere };

// The new file beside the target renamed over it; notHere when the folder
// does not let this user create the new file or rename it over the target.
// A replaced file keeps its mode and, as far as it may, its owner.
Replaced replaceWhole(const std::filesystem::path& file, const struct stat* old, std::string_view text) {
    std::filesystem::path temporary;
    const int fd = createTemporary(file, temporary);
    if (fd < 0) return errno == EACCES || errno == EPERM ? Replaced::notHere : Replaced::no;
    if (old) keepOwner(fd, *old);
    const bool written = (!old || ::fchmod(fd, old->st_mode & 0777) == 0) && writeAndClose(fd, text);
    if (written && ::rename(temporary.c_str(), file.c_str()) == 0) return Replaced::yes;
    const bool refused = written && (errno == EACCES || errno == EPERM);
    ::unlink(temporary.c_str());
    return refused ? Replaced::notHere : Replaced::no;
}

bool writeInPlace(const std::filesystem::path& file, std::string_view text) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return fd >= 0 && writeAndClose(fd, text);
}

}  // namespace

bool writeBeatPattern(const std::filesystem::path& name, std::span<const std::int16_t, gridBoxes> values) {
    const auto text = patternText(values);
    const auto file = linkTarget(name);
    if (!text || !file) return false;

    // Writing in place would be refused for a file the user may not write,
    // or one that is no plain file; the rename needs only the folder, so ask
    // first.
    struct stat old {};
    const bool exists = ::stat(file->c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || ::faccessat(AT_FDCWD, file->c_str(), W_OK, AT_EACCESS) != 0)) return false;
    const Replaced replaced = replaceWhole(*file, exists ? &old : nullptr, *text);
    return replaced == Replaced::yes || (replaced == Replaced::notHere && writeInPlace(*file, *text));
}

bool isPlainFileName(std::string_view name) {
    constexpr std::string_view separatorsAndNul{"/\\\0", 3};
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(separatorsAndNul) == std::string_view::npos;
}

}  // namespace marovane
