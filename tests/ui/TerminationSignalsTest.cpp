// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TerminationSignals.h"

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace marovane {
namespace {

TEST(TerminationSignals, EachSignalBecomesACallOnTheUiThread) {
    std::vector<int> calls;
    {
        TerminationSignals stopSignals([&] { calls.push_back(static_cast<int>(calls.size())); });
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            const std::size_t before = calls.size();
            ASSERT_EQ(std::raise(signal), 0);
            EXPECT_EQ(calls.size(), before);  // not inside the signal handler
            EXPECT_TRUE(QTest::qWaitFor([&] { return calls.size() == before + 1; }, 2000)) << "signal " << signal;
        }
    }
    struct sigaction restored = {};
    sigaction(SIGTERM, nullptr, &restored);
    EXPECT_EQ(restored.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace marovane
