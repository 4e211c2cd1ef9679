// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Performance.h"

#include "FakeControls.h"
#include "ports/MIDIInput.h"
#include "support/LoopbackBackend.h"
#include "support/ManualUiThread.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

using testing::FakeControls;
using testing::FakeTimer;
using testing::RecordingSender;
using Messages = std::vector<ShortMessage>;

class IncomingTest : public ::testing::Test {
protected:
    LoopbackBackend midi;
    testing::ManualUiThread ui;
    MIDIInput input{midi, ui};
    FakeControls controls;
    FakeTimer timer;
    RecordingSender output;
    Performance performance{controls, timer, output};

    void SetUp() override {
        midi.inputs = {"Keys"};
        input.setAction(ActionOpen);
        input.setAction(ActionStart);
        input.onMessage = [this] { performance.MIDIInput1_Message(input); };
    }
    void play(const Messages& messages) {
        for (const auto& m : messages) {
            midi.receive({static_cast<unsigned char>(m.status), static_cast<unsigned char>(m.data1),
                          static_cast<unsigned char>(m.data2)});
        }
        ui.runPending();
    }
};

enum class Mode { Off, Arpeggio, Beat };

struct CaptureCase {
    Mode mode;
    ShortMessage received;
    bool captured;
    std::int16_t velocityAfter;  // arpvelocity starts at 85 in arpeggio mode
};

TEST_F(IncomingTest, OnlyNoteOnsOnChannelOneReRootTheRunningMode) {
    const CaptureCase cases[] = {
        {Mode::Arpeggio, {144, 60, 100}, true, 100}, {Mode::Arpeggio, {144, 61, 4}, true, 4},
        {Mode::Arpeggio, {144, 62, 3}, true, 85},    {Mode::Arpeggio, {144, 63, 0}, true, 85},
        {Mode::Arpeggio, {145, 64, 100}, false, 85}, {Mode::Arpeggio, {128, 65, 100}, false, 85},
        {Mode::Arpeggio, {176, 66, 100}, false, 85}, {Mode::Beat, {144, 50, 100}, true, 0},
        {Mode::Beat, {144, 51, 0}, true, 0},         {Mode::Beat, {159, 52, 100}, false, 0},
        {Mode::Off, {144, 40, 100}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << static_cast<int>(c.mode) << " message " << c.received.status
                                          << ", " << c.received.data1 << ", " << c.received.data2);
        performance.StopPerformance();
        performance.state = PerformanceState{};
        if (c.mode == Mode::Arpeggio) performance.arpegiate_Click();
        if (c.mode == Mode::Beat) performance.beatbutton_Click();
        performance.state.beatstep = 9;
        timer.enabled = false;
        const std::int16_t rootBefore = performance.state.arpnote;
        output.sent.clear();

        play({c.received});

        EXPECT_EQ(output.sent, Messages{c.received});  // always forwarded, unchanged
        EXPECT_EQ(timer.enabled, c.captured);
        EXPECT_EQ(performance.state.arpnote, c.captured ? c.received.data1 : rootBefore);
        EXPECT_EQ(performance.state.arpvelocity, c.velocityAfter);
        EXPECT_EQ(performance.state.beatstep, c.captured && c.mode == Mode::Beat ? 0 : 9);
    }
}

TEST_F(IncomingTest, QueuedMessagesAreForwardedInOrderAndTheLastIsShown) {
    performance.arpegiate_Click();
    play({{144, 60, 100}, {0xE0, 0, 64}, {144, 67, 2}});
    EXPECT_EQ(output.sent, (Messages{{144, 60, 100}, {224, 0, 64}, {144, 67, 2}}));
    EXPECT_EQ(controls.monitor, (std::array<std::string, 3>{"144", "67", "2"}));
    EXPECT_EQ(performance.state.arpnote, 67);
    EXPECT_EQ(performance.state.arpvelocity, 100);
    EXPECT_EQ(input.MessageCount(), 0);
}

TEST_F(IncomingTest, NoteOffIsForwardedAndShownWithoutChangingState) {
    play({{128, 60, 64}});
    EXPECT_EQ(output.sent, (Messages{{128, 60, 64}}));
    EXPECT_EQ(controls.monitor, (std::array<std::string, 3>{"128", "60", "64"}));
    EXPECT_FALSE(timer.enabled);
}

TEST_F(IncomingTest, CaptureComesBeforeTheNextTick) {
    performance.arpegiate_Click();
    controls.notescroll = 5;
    play({{144, 60, 100}});
    output.sent.clear();
    performance.arptimer_Timer();
    // The key the input forwarded a moment ago is the one silenced.
    EXPECT_EQ(output.sent, (Messages{{144, 60, 0}, {144, 65, 100}}));
}

TEST_F(IncomingTest, NoteOnRestartsARunThatStoppedAtTheTop) {
    performance.arpegiate_Click();
    performance.state.arpnote = 125;
    performance.arptimer_Timer();
    ASSERT_FALSE(timer.enabled);
    play({{144, 48, 90}});
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(performance.state.arpnote, 48);
}

TEST_F(IncomingTest, BeatModeRestartsTheGridAtColumnZero) {
    performance.beatbutton_Click();
    performance.state.beatstep = 11;
    controls.beatbox[0] = 1;
    play({{144, 60, 0}});
    output.sent.clear();
    performance.arptimer_Timer();
    EXPECT_EQ(output.sent, (Messages{{176, 123, 0}, {144, 70, 88}}));
}

}  // namespace
}  // namespace marovane
