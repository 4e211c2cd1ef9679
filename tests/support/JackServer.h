// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "harness/ServerProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace marovane::testing {

// A JACK server of the test run's own, started before the first test and
// stopped after the last: jackd (see JackdProcess), or PipeWire (see
// PipeWireProcess) when the run uses PipeWire's libjack (under `pw-jack`).
// Every JACK client must be closed before TearDown.
class JackServer : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // Why the JACK tests cannot run, or empty when the server is up.
    static const std::string& unavailable() { return unavailable_; }
    // The exit status of a run: 77 (skipped, for CTest) when every test
    // passed only because no server could start, so that CI shows a skip.
    static int exitStatus(int testsResult) { return testsResult == 0 && !unavailable_.empty() ? 77 : testsResult; }
    // Whether the server is PipeWire's.
    static bool pipeWire();
    // Whether the server loses whole cycles of a flood of thousands: under
    // the thread sanitizer the process cycles of a client that takes one in
    // were seen to run for 30 to 110 ms (the test's peer; 50 us without it,
    // at periods of 5.3 ms), and PipeWire runs on without a client that slow,
    // losing what it carries meanwhile; jackd waits for it.
    static bool losesFloods();

    // Kills the running server at once (SIGKILL), as a crash would.
    static void kill();
    // Starts it again, under its name, after kill(); false when it does not
    // accept clients.
    static bool restart();
    // Stops the running server where it stands (SIGSTOP), and lets it go on.
    static void suspend();
    static void resume();

private:
    static inline std::string unavailable_ = "The JACK test server was not set up.";
    static inline std::unique_ptr<harness::ServerProcess> server_;
};

}  // namespace marovane::testing
