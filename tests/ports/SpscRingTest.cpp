// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/SpscRing.h"

#include <gtest/gtest.h>

#include <thread>

namespace marovane {
namespace {

// Many times round a small ring, filling it up each time: items come out in
// order, a full ring refuses without overwriting, and the counts go on past
// the capacity.
TEST(SpscRingTest, WrapsAroundInOrder) {
    SpscRing<int, 4> ring;
    int next = 0;
    int expected = 0;
    for (int round = 0; round < 10; ++round) {
        while (ring.push(next)) ++next;
        EXPECT_EQ(ring.size(), 4u);
        EXPECT_EQ(*ring.front(), expected);
        for (int i = 0; i < 3; ++i, ++expected) {
            ASSERT_EQ(*ring.front(), expected);
            ring.pop();
        }
    }
    EXPECT_EQ(ring.given(), 4u + 9 * 3);
    EXPECT_EQ(ring.taken(), 10u * 3);
    for (; ring.front(); ++expected) {
        EXPECT_EQ(*ring.front(), expected);
        ring.pop();
    }
    EXPECT_EQ(expected, next);
}

// A producer and a consumer on two threads: nothing lost, nothing repeated.
TEST(SpscRingTest, CarriesBetweenTwoThreads) {
    constexpr int count = 200000;
    SpscRing<int, 64> ring;
    std::thread producer([&] {
        for (int i = 0; i < count;) {
            if (ring.push(i)) ++i;
        }
    });
    int expected = 0;
    bool inOrder = true;
    while (expected < count) {
        if (const int* item = ring.front()) {
            inOrder = inOrder && *item == expected++;
            ring.pop();
        }
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ring.front(), nullptr);
}

}  // namespace
}  // namespace marovane
