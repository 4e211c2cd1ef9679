// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/EngineTurns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marovane {
namespace {

// As a modal box's nested event loop would: the drain, while it runs, is
// asked for again and the clock ticks three times.
TEST(EngineTurns, WhatIsAskedForDuringARunWaitsAndRunsOnceAfterIt) {
    EngineTurns turns;
    std::vector<std::string> ran;
    const auto tick = turns.inTurn([&] { ran.push_back("tick"); });
    std::function<void()> drain;
    drain = turns.inTurn([&] {
        ran.push_back("drain");
        if (ran.size() > 1) return;
        for (const auto& nested : {tick, drain, tick, tick}) nested();
        ran.push_back("drain ends");
    });
    drain();
    EXPECT_EQ(ran, (std::vector<std::string>{"drain", "drain ends", "tick", "drain"}));

    tick();  // nothing running: at once
    EXPECT_EQ(ran.back(), "tick");
    EXPECT_EQ(ran.size(), 5u);
}

}  // namespace
}  // namespace marovane
