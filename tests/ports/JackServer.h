#pragma once

#include "harness/JackdProcess.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace marovane::testing {

// A jackd of the test run's own (see JackdProcess), started before the first
// test and stopped after the last. Every JACK client must be closed before
// TearDown.
class JackServer : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // Why no server runs, or empty while one does. Tests skip on it.
    static const std::string& unavailable() { return unavailable_; }

    // The test binary's exit status: CTest's skip code 77 when the tests
    // passed only because no server could start, so that CI shows a skip.
    static int exitStatus(int testsResult) { return testsResult == 0 && !unavailable_.empty() ? 77 : testsResult; }

private:
    static inline std::string unavailable_ = "The JACK test server was not set up.";
    std::unique_ptr<harness::JackdProcess> server_;
};

}  // namespace marovane::testing
