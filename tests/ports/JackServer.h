#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>
#include <string>

namespace marovane::testing {

// A jackd of the test run's own, started before the first test and stopped
// after the last. Clients find it through JACK_DEFAULT_SERVER. Every JACK
// client must be closed before TearDown: a server stopped with clients still
// open keeps its entry in JACK's machine-wide registry of servers, and only
// 8 fit. SetUp frees the entries that crashed runs left, and TearDown the
// entry of a server that a test killed.
class JackServer : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // Why no server runs, or empty while one does. Tests skip on it.
    static const std::string& unavailable() { return unavailable_; }

    // The test binary's exit status: CTest's skip code 77 when the tests
    // passed only because no server could start, so that CI shows a skip.
    static int exitStatus(int testsResult) { return testsResult == 0 && !unavailable_.empty() ? 77 : testsResult; }

    // Kills the running server at once (SIGKILL), as a crash would.
    static void kill();
    // Starts it again, under its name, after kill(); false when it does not
    // accept clients.
    static bool restart();

private:
    static inline std::string unavailable_ = "The JACK test server was not set up.";
    static inline JackServer* running_ = nullptr;
    std::string name_;
    std::string log_;
    pid_t pid_ = -1;
    bool killed_ = false;
};

}  // namespace marovane::testing
