// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Performance.h"

#include "FakeControls.h"
#include "ports/MIDIOutput.h"
#include "support/LoopbackBackend.h"
#include "support/ManualUiThread.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

using testing::FakeControls;
using testing::FakeTimer;
using testing::RecordingSender;
using Messages = std::vector<ShortMessage>;

class PerformanceTest : public ::testing::Test {
protected:
    FakeControls controls;
    FakeTimer timer;
    RecordingSender output;
    Performance performance{controls, timer, output};

    Messages tick() {
        output.sent.clear();
        performance.arptimer_Timer();
        return output.sent;
    }
    void expectCaptions(const char* arpegiate, const char* beatbutton) {
        EXPECT_EQ(controls.arpegiate, arpegiate);
        EXPECT_EQ(controls.beatbutton, beatbutton);
    }
};

TEST_F(PerformanceTest, StartsWithSetupPendingAndBothModesOff) {
    EXPECT_EQ(performance.state.setuppending, -1);
    EXPECT_FALSE(performance.state.arpmode);
    EXPECT_EQ(performance.state.beatmode, 0);
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(timer.interval, 200);
}

TEST_F(PerformanceTest, ArpeggioFromNoteTenRunsUntilItPasses127) {
    performance.arpegiate_Click();
    expectCaptions("Unarpegiate", "Beat Mode");
    EXPECT_TRUE(timer.enabled);
    EXPECT_TRUE(output.sent.empty());

    // The first tick silences 10, which never sounded, and plays 15.
    EXPECT_EQ(tick(), (Messages{{144, 10, 0}, {144, 15, 85}}));
    int ticks = 1;
    while (timer.enabled && ticks < 100) {
        tick();
        ++ticks;
    }
    // 15, 20, ..., 125, 130: 24 ticks, the last one sent although above 127.
    EXPECT_EQ(ticks, 24);
    EXPECT_EQ(output.sent, (Messages{{144, 125, 0}, {144, 130, 85}}));
    EXPECT_EQ(performance.state.arpnote, 130);
    // The caption still says the arpeggio is on after the run stopped itself.
    expectCaptions("Unarpegiate", "Beat Mode");
}

struct RangeCase {
    std::int16_t from;
    std::int16_t step;
    bool keepsRunning;
};

TEST_F(PerformanceTest, RangeTestIsOnTheNewNote) {
    const RangeCase cases[] = {
        {122, 5, true}, {123, 5, false}, {8, -5, true}, {7, -5, false}, {60, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "from " << c.from << " step " << c.step);
        performance.StopPerformance();
        performance.arpegiate_Click();
        performance.state.arpnote = c.from;
        controls.notescroll = c.step;
        const std::int16_t reached = c.from + c.step;
        EXPECT_EQ(tick(), (Messages{{144, c.from, 0}, {144, reached, 85}}));
        EXPECT_EQ(timer.enabled, c.keepsRunning);
    }
}

TEST_F(PerformanceTest, DescendingRunPlaysOneBelowThreeAndStops) {
    performance.arpegiate_Click();
    performance.state.arpnote = 5;
    controls.notescroll = -2;
    EXPECT_EQ(tick(), (Messages{{144, 5, 0}, {144, 3, 85}}));
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(tick(), (Messages{{144, 3, 0}, {144, 1, 85}}));
    EXPECT_FALSE(timer.enabled);
}

TEST_F(PerformanceTest, EveryTickLoadsThePeriodWhateverTheModes) {
    timer.enabled = true;
    controls.intervalscroll = 100;
    EXPECT_TRUE(tick().empty());
    EXPECT_EQ(timer.interval, 100);
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(timer.starts, 0);
}

TEST_F(PerformanceTest, SwitchingArpeggioOffKeepsClockAndNote) {
    performance.arpegiate_Click();
    tick();
    performance.arpegiate_Click();
    expectCaptions("Arpegiate", "Beat Mode");
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(performance.state.arpnote, 15);
    EXPECT_TRUE(tick().empty());

    performance.state.arpvelocity = 100;  // as a captured key would set it
    performance.arpegiate_Click();
    EXPECT_EQ(performance.state.arpnote, 10);
    EXPECT_EQ(performance.state.arpvelocity, 85);
}

TEST_F(PerformanceTest, BeatModeSwitchesSendOnlyWhenTurnedOff) {
    performance.beatbutton_Click();
    expectCaptions("Arpegiate", "No Beat Mode");
    EXPECT_EQ(performance.state.beatmode, -1);
    EXPECT_TRUE(output.sent.empty());
    EXPECT_FALSE(timer.enabled);

    performance.beatbutton_Click();
    expectCaptions("Arpegiate", "Beat Mode");
    EXPECT_EQ(output.sent, (Messages{{176, 123, 0}}));
}

TEST_F(PerformanceTest, ModesExcludeEachOtherWithoutAllNotesOff) {
    performance.beatbutton_Click();
    performance.arpegiate_Click();
    EXPECT_TRUE(performance.state.arpmode);
    EXPECT_EQ(performance.state.beatmode, 0);
    expectCaptions("Unarpegiate", "Beat Mode");
    EXPECT_TRUE(output.sent.empty());

    tick();
    performance.beatbutton_Click();
    EXPECT_FALSE(performance.state.arpmode);
    expectCaptions("Arpegiate", "No Beat Mode");
    // The running clock now plays the grid, rooted at the arpeggio's note.
    controls.beatbox[2 * 16 + 0] = 1;
    EXPECT_EQ(tick(), (Messages{{176, 123, 0}, {144, 15, 88}}));
}

TEST_F(PerformanceTest, BeatTickPlaysTickedRowsTopToBottom) {
    performance.beatbutton_Click();
    performance.state.arpnote = 60;
    performance.state.beatstep = 3;
    for (int row = 0; row < 5; ++row) controls.beatbox[row * 16 + 3] = 1;
    EXPECT_EQ(tick(),
              (Messages{{176, 123, 0}, {144, 70, 88}, {144, 65, 88}, {144, 60, 88}, {144, 55, 88}, {144, 50, 88}}));
    EXPECT_EQ(performance.state.beatstep, 4);
}

TEST_F(PerformanceTest, OnlyValueOnePlaysAndNotesAreNotClamped) {
    performance.beatbutton_Click();
    performance.state.arpnote = 5;
    controls.beatbox[0 * 16] = 2;  // dimmed: silent
    controls.beatbox[1 * 16] = 3;
    controls.beatbox[4 * 16] = 1;
    EXPECT_EQ(tick(), (Messages{{176, 123, 0}, {144, -5, 88}}));
    EXPECT_EQ(tick(), (Messages{{176, 123, 0}}));  // column 1 is empty
}

TEST_F(PerformanceTest, GridColumnWrapsAfterFifteen) {
    performance.beatbutton_Click();
    performance.state.arpnote = 60;
    controls.beatbox[2 * 16 + 15] = 1;
    controls.beatbox[2 * 16 + 0] = 1;
    performance.state.beatstep = 15;
    EXPECT_EQ(tick(), (Messages{{176, 123, 0}, {144, 60, 88}}));
    EXPECT_EQ(performance.state.beatstep, 0);
    EXPECT_EQ(tick(), (Messages{{176, 123, 0}, {144, 60, 88}}));
    EXPECT_EQ(performance.state.beatstep, 1);
}

TEST_F(PerformanceTest, ArpeggioTicksLeaveTheGridColumnAlone) {
    performance.state.beatstep = 7;
    performance.arpegiate_Click();
    tick();
    EXPECT_EQ(performance.state.beatstep, 7);
}

TEST_F(PerformanceTest, InstrumentSliderSendsProgramChangeAndShowsNumberPlusOne) {
    const std::pair<std::int16_t, const char*> cases[] = {{0, " 1"}, {41, " 42"}, {127, " 128"}};
    for (const auto& [program, caption] : cases) {
        output.sent.clear();
        controls.instruslide = program;
        performance.instruslide_Change();
        EXPECT_EQ(output.sent, (Messages{{192, program, 0}}));
        EXPECT_EQ(controls.label1, caption);
    }
}

TEST_F(PerformanceTest, StopPerformanceStopsEverythingButSendsNothing) {
    performance.beatbutton_Click();
    timer.enabled = true;
    performance.state.arpnote = 60;
    performance.state.beatstep = 9;
    for (int twice = 0; twice < 2; ++twice) {
        performance.StopPerformance();
        EXPECT_FALSE(timer.enabled);
        EXPECT_FALSE(performance.state.arpmode);
        EXPECT_EQ(performance.state.beatmode, 0);
        expectCaptions("Arpegiate", "Beat Mode");
    }
    EXPECT_TRUE(output.sent.empty());
    EXPECT_EQ(performance.state.arpnote, 60);
    EXPECT_EQ(performance.state.beatstep, 9);
}

// Through the real output component: the engine hands over 130 unclamped and
// the port keeps it off the wire, while the note ending before it goes out.
TEST(PerformanceOnOutput, LastNoteOfARunIsRefusedOnTheWire) {
    LoopbackBackend midi;
    testing::ManualUiThread ui;
    MIDIOutput port(midi, ui);
    std::vector<std::int16_t> errors;
    port.onError = [&](std::int16_t code, const std::string&) { errors.push_back(code); };
    port.setDeviceID(-1);
    port.setAction(ActionOpen);
    FakeControls controls;
    FakeTimer timer;
    Performance performance(controls, timer, port);

    performance.arpegiate_Click();
    performance.state.arpnote = 125;
    performance.arptimer_Timer();

    using Bytes = std::vector<std::vector<unsigned char>>;
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0x90, 125, 0}}));
    EXPECT_EQ(errors, std::vector<std::int16_t>{ErrorNotDone});
}

}  // namespace
}  // namespace marovane
