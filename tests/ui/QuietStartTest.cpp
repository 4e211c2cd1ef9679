// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/alsa/AlsaBackend.h"
#include "ports/jack/JackBackend.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace marovane {
namespace {

std::string contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// Whether `pid` has a handler of its own for `signal` (SigCgt in its status).
bool catches(pid_t pid, int signal) {
    std::istringstream status(contents("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigCgt:")) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

// A child process on a machine without any MIDI system: no ALSA sequencer
// (none on the test machines) and no JACK server under its server name. It
// works in a private folder of its own, its standard error kept in a file.
class Quiet : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(mkdtemp(folder_.data())); }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    pid_t start(const std::function<void()>& body) {
        const pid_t child = fork();
        if (child != 0) return child;
        const int file = open(errors().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (file < 0 || dup2(file, STDERR_FILENO) < 0 || chdir(folder_.c_str()) != 0) _exit(127);
        setenv("JACK_DEFAULT_SERVER", ("marovane-none-" + std::to_string(getpid())).c_str(), 1);
        setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);  // as a desktop session has one
        unsetenv("MAROVANE_MIDI_DEBUG");
        body();
        _exit(0);
    }
    static int exitStatus(pid_t child) {
        int status = 0;
        if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    std::string errors() const { return folder_ + "/stderr"; }

    std::string folder_ = ::testing::TempDir() + "marovane-quiet-XXXXXX";
};

// The program, started as a user would, shows its window without a word on
// standard error, and SIGTERM ends it as closing the window does.
TEST_F(Quiet, TheProgramStartsSilentlyAndLeavesOnSigterm) {
    const pid_t program = start([] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(MAROVANE_PROGRAM, MAROVANE_PROGRAM, nullptr);
        _exit(127);
    });
    // Its window is up once it catches SIGTERM; a busy machine may take long.
    for (int wait = 0; wait < 600 && !catches(program, SIGTERM); ++wait) usleep(50'000);
    kill(program, SIGTERM);
    EXPECT_EQ(exitStatus(program), 0);
    EXPECT_EQ(contents(errors()), "");
}

// The first use of MIDI looks for a MIDI system, and libasound and libjack
// each complain that there is none: on standard error only when the user
// asks for it.
TEST_F(Quiet, TheLibrariesSpeakOnlyWhenAsked) {
    for (bool asked : {false, true}) {
        const pid_t child = start([asked] {
            if (asked) setenv("MAROVANE_MIDI_DEBUG", "1", 1);
            struct : ChangeSink {
                void systemChanged() override {}
            } changes;
            const bool none =
                !AlsaBackend().available() && JackBackend().openVirtualOutput(changes).error.code == ErrorNoMidiSystem;
            _exit(none ? 0 : 77);
        });
        const int status = exitStatus(child);
        if (status == 77) GTEST_SKIP() << "this machine has a MIDI system";
        ASSERT_EQ(status, 0);
        const std::string printed = contents(errors());
        if (!asked) {
            EXPECT_EQ(printed, "");
        }
        for (const char* line : {"ALSA lib seq_hw.c", "jack server is not running"}) {
            EXPECT_EQ(printed.find(line) != std::string::npos, asked) << line << " in:\n" << printed;
        }
    }
}

}  // namespace
}  // namespace marovane
