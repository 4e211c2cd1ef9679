// SPDX-License-Identifier: GPL-3.0-or-later
#include "patterns/BeatPattern.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>

namespace marovane {
namespace {

namespace fs = std::filesystem;
using Grid = std::array<std::int16_t, gridBoxes>;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
    return names;
}

// A "Beats" folder of the test's own, reachable by any user, holding one
// pattern file that is not in the program's form, so that a save that touched
// it shows.
class SaveBeatPattern : public ::testing::Test {
protected:
    void SetUp() override {
        std::string root = (fs::path(::testing::TempDir()) / "beats-XXXXXX").string();
        ASSERT_NE(::mkdtemp(root.data()), nullptr);
        root_ = root;
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
        fs::create_directory(beats());
        std::ofstream(oldFile(), std::ios::binary) << oldText;
    }
    void TearDown() override {
        if (root_.empty()) return;
        fs::permissions(beats(), fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root_);
    }

    fs::path beats() const { return root_ / "Beats"; }
    fs::path oldFile() const { return beats() / "Groove.txt"; }

    // The old file is as it was and nothing else is in the folder.
    void expectUntouched() const {
        EXPECT_EQ(contents(oldFile()), oldText);
        EXPECT_EQ(entries(beats()), std::set<std::string>{"Groove.txt"});
    }

    static constexpr const char* oldText = "1\r\n2\r\nnot a grid\r\n";
    fs::path root_;
};

Grid gridWith(std::initializer_list<int> ticked) {
    Grid grid{};
    for (const int box : ticked) grid[box] = 1;
    return grid;
}

TEST_F(SaveBeatPattern, WritesEightyLinesOfOneDigit) {
    const auto file = beats() / "Save Name.txt";
    Grid grid = gridWith({0, 8});
    grid[79] = 2;
    ASSERT_TRUE(writeBeatPattern(file, grid));
    std::string expected;
    for (int box = 0; box < gridBoxes; ++box)
        expected += box == 0 || box == 8 ? "1\r\n" : box == 79 ? "2\r\n" : "0\r\n";
    EXPECT_EQ(contents(file), expected);

    ASSERT_TRUE(writeBeatPattern(file, Grid{}));
    std::string clear;
    for (int box = 0; box < gridBoxes; ++box) clear += "0\r\n";
    EXPECT_EQ(contents(file), clear);
    EXPECT_EQ(fs::file_size(file), 240u);
}

TEST_F(SaveBeatPattern, RandomGridsComeBackAsTheyWere) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> value(0, 2);
    for (int round = 0; round < 20; ++round) {
        Grid grid{};
        for (auto& box : grid) box = static_cast<std::int16_t>(value(random));
        ASSERT_TRUE(writeBeatPattern(oldFile(), grid));
        EXPECT_EQ(fs::file_size(oldFile()), 240u);
        EXPECT_EQ(readBeatPattern(oldFile()), PatternValues(grid.begin(), grid.end()));
    }
    EXPECT_EQ(entries(beats()), std::set<std::string>{"Groove.txt"});
}

TEST_F(SaveBeatPattern, RefusesAValueNoBoxHolds) {
    for (const std::int16_t bad : {3, -1, 10}) {
        Grid grid{};
        grid[79] = bad;
        EXPECT_FALSE(writeBeatPattern(oldFile(), grid)) << bad;
        expectUntouched();
    }
}

TEST_F(SaveBeatPattern, FailsIntoAFolderThatIsGone) {
    EXPECT_FALSE(writeBeatPattern(root_ / "Gone" / "Groove.txt", Grid{}));
    expectUntouched();
}

TEST_F(SaveBeatPattern, FailsOverAFolderAndLeavesNoTemporary) {
    fs::create_directory(beats() / "Folder.txt");
    EXPECT_FALSE(writeBeatPattern(beats() / "Folder.txt", Grid{}));
    EXPECT_TRUE(fs::is_empty(beats() / "Folder.txt"));
    EXPECT_EQ(entries(beats()), (std::set<std::string>{"Folder.txt", "Groove.txt"}));
}

TEST_F(SaveBeatPattern, NewFileTakesTheUmaskAndAReplacedOneKeepsItsPermissions) {
    const mode_t umaskBefore = ::umask(027);
    EXPECT_TRUE(writeBeatPattern(beats() / "New.txt", Grid{}));
    ::umask(umaskBefore);
    EXPECT_EQ(fs::status(beats() / "New.txt").permissions(), static_cast<fs::perms>(0640));

    fs::permissions(oldFile(), static_cast<fs::perms>(0604));
    EXPECT_TRUE(writeBeatPattern(oldFile(), Grid{}));
    EXPECT_EQ(fs::status(oldFile()).permissions(), static_cast<fs::perms>(0604));
}

// Saves in a child process, which may first take limits or another identity
// without touching the test's own process, and returns its wait status:
// exit 0 when the save failed, 1 when it succeeded.
int saveInChild(const fs::path& file, const std::function<void()>& prepare) {
    const pid_t child = ::fork();
    if (child == 0) {
        prepare();
        ::_exit(writeBeatPattern(file, gridWith({1, 2, 3})) ? 1 : 0);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return status;
}

// Mode bits do not stop root, so a root test gives the save up to "nobody".
void withoutRoot() {
    const uid_t nobody = 65534;
    if (::geteuid() == 0 && (::setgid(nobody) != 0 || ::setuid(nobody) != 0)) ::_exit(3);
}

// The kernel refuses to grow a file past 100 bytes, as a full disk would.
void fileSizeLimited() {
    const rlimit limit{100, 100};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
}

struct SaveFault {
    const char* name;
    fs::perms file;
    std::function<void()> prepare;
};

TEST_F(SaveBeatPattern, AFailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const SaveFault faults[] = {
        {"read-only file", readOnly, withoutRoot},
        {"full disk", fs::perms::all,
         [] {
             std::signal(SIGXFSZ, SIG_IGN);
             fileSizeLimited();
         }},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        fs::permissions(oldFile(), fault.file);
        const int status = saveInChild(oldFile(), fault.prepare);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 3) << "the child could not take its limits";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "saved";
        expectUntouched();
    }
}

TEST_F(SaveBeatPattern, ASaveKilledHalfWayLeavesTheOldFileAndNothingInTheList) {
    const int status = saveInChild(oldFile(), fileSizeLimited);  // SIGXFSZ kills it at the limit
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(contents(oldFile()), oldText);
    auto left = entries(beats());
    left.erase("Groove.txt");
    ASSERT_EQ(left.size(), 1u) << "the half-written file";
    EXPECT_FALSE(fs::path(*left.begin()).extension() == ".txt") << *left.begin();
}

TEST(IsPlainFileName, RefusesOnlyFolderNamesAndPaths) {
    const std::pair<std::string_view, bool> cases[] = {
        {"Save Name.txt", true}, {".txt", true},       {"..txt", true},     {"...txt", true},  // "", "." and ".." typed
        {"a:b*?.txt", true},     {"", false},          {".", false},        {"..", false},
        {"a/b.txt", false},      {"../up.txt", false}, {"a\\b.txt", false}, {std::string_view("a\0b.txt", 7), false},
    };
    for (const auto& [name, plain] : cases) EXPECT_EQ(isPlainFileName(name), plain) << ::testing::PrintToString(name);
}

}  // namespace
}  // namespace marovane
