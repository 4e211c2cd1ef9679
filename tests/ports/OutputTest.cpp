// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/AllSystemsBackend.h"
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "support/LoopbackBackend.h"
#include "support/ManualUiThread.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

using Bytes = std::vector<std::vector<unsigned char>>;

class OutputTest : public ::testing::Test {
protected:
    LoopbackBackend midi;
    testing::ManualUiThread ui;
    MIDIOutput port{midi, ui};
    std::vector<PortError> errors;

    void SetUp() override {
        midi.outputs = {"Synth A", "Synth B"};
        port.onError = [this](std::int16_t code, const std::string& text) { errors.push_back({code, text}); };
    }
    void open(std::int16_t device) {
        port.setDeviceID(device);
        port.setAction(ActionOpen);
    }
    std::vector<std::int16_t> errorCodes() const {
        std::vector<std::int16_t> codes;
        for (const auto& e : errors) codes.push_back(e.code);
        return codes;
    }
};

TEST_F(OutputTest, ListsDevicesWithTheVirtualPortAsMinusOne) {
    EXPECT_EQ(port.DeviceCount(), 2);
    const std::pair<std::int16_t, std::string> names[] = {
        {-1, "Loopback virtual output"}, {0, "Synth A"}, {1, "Synth B"}, {2, ""}, {-2, ""}};
    for (const auto& [id, name] : names) {
        port.setDeviceID(id);
        EXPECT_EQ(port.DeviceID(), id);
        EXPECT_EQ(port.ProductName(), name);
    }
}

TEST_F(OutputTest, StateFollowsOpenStartStopClose) {
    const std::pair<std::int16_t, std::int16_t> steps[] = {
        {ActionStop, 0},  {ActionClose, 0}, {ActionOpen, 1},  {ActionStart, 2}, {ActionStop, 1},
        {ActionStart, 2}, {ActionOpen, 1},  {ActionClose, 0}, {ActionClose, 0},
    };
    port.setDeviceID(1);
    for (const auto& [action, state] : steps) {
        port.setAction(action);
        EXPECT_EQ(port.State(), state) << "after action " << action;
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(OutputTest, SendsToTheChosenDeviceInOrder) {
    open(1);
    port.send(144, 60, 100);
    port.setMessage(192);
    port.setData1(7);
    port.setData2(0);
    port.setAction(ActionSend);
    port.send(0xE0, 0, 64);
    const std::vector<LoopbackBackend::Sent> expected{
        {"Synth B", {0x90, 60, 100}}, {"Synth B", {0xC0, 7}}, {"Synth B", {0xE0, 0, 64}}};
    EXPECT_EQ(midi.sent(), expected);
    EXPECT_TRUE(errors.empty());
}

TEST_F(OutputTest, RefusedMessagesAreReportedAsNotDoneAndNothingLeaves) {
    port.send(144, 60, 100);  // closed
    open(-1);
    port.send(144, 130, 85);
    port.send(100, 1, 2);
    EXPECT_TRUE(midi.sent().empty());
    EXPECT_EQ(errorCodes(), (std::vector<std::int16_t>{ErrorNotDone, ErrorNotDone, ErrorNotDone}));
}

TEST_F(OutputTest, StartOnAClosedPortDoesNothing) {
    port.setAction(ActionStart);
    EXPECT_EQ(port.State(), 0);
    EXPECT_EQ(errorCodes(), std::vector<std::int16_t>{ErrorNotDone});
}

TEST_F(OutputTest, FailuresGoToErrorAndLeaveThePortClosed) {
    open(5);
    EXPECT_EQ(port.State(), 0);
    midi.failOpen = {ErrorOpenFailed, "device busy"};
    open(0);
    EXPECT_EQ(port.State(), 0);
    midi.failOpen = {};
    open(0);
    midi.failSend = {ErrorSendFailed, "server gone"};
    port.send(144, 60, 1);
    port.setAction(3);  // no such action
    EXPECT_EQ(errorCodes(),
              (std::vector<std::int16_t>{ErrorNoSuchDevice, ErrorOpenFailed, ErrorSendFailed, ErrorUnknownAction}));
    EXPECT_EQ(errors[2].text, "server gone");
}

TEST_F(OutputTest, ReopeningOpensTheDeviceChosenSinceTheListing) {
    EXPECT_EQ(port.DeviceCount(), 2);
    midi.outputs = {"Synth B"};  // Synth A unplugged after the listing
    open(1);
    EXPECT_EQ(port.State(), 1);
    port.send(0xF8, 0, 0);
    EXPECT_EQ(midi.sent().at(0).device, "Synth B");
    open(0);
    EXPECT_EQ(port.State(), 0);
    EXPECT_EQ(errorCodes(), std::vector<std::int16_t>{ErrorNoSuchDevice});
}

TEST_F(OutputTest, ClosingEndsEveryNoteStillSounding) {
    open(-1);
    port.send(144, 60, 100);  // ended below by a note-on with velocity 0
    port.send(144, 60, 0);
    port.send(145, 62, 90);  // ended by a note-off
    port.send(0x81, 62, 64);
    port.send(146, 40, 90);  // ended by all notes off on channel 3
    port.send(146, 41, 90);
    port.send(178, 123, 0);
    port.send(144, 64, 100);  // still sounding
    port.send(144, 64, 110);  // played twice: ended once
    port.send(159, 0, 1);     // channel 16, key 0
    port.send(176, 123, 0);   // all notes off on channel 1 leaves channel 16 alone
    port.send(144, 72, 80);
    midi.clearSent();

    port.setAction(ActionClose);
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0x90, 72, 0}, {0x9F, 0, 0}}));
    EXPECT_EQ(port.State(), 0);

    midi.clearSent();
    open(-1);
    port.setAction(ActionClose);
    EXPECT_TRUE(midi.sentBytes().empty());
}

TEST_F(OutputTest, ReopeningAndDestroyingAlsoEndNotes) {
    open(0);
    port.send(144, 60, 100);
    open(1);  // the ending goes to the device that was playing the note
    EXPECT_EQ(midi.sent().back(), (LoopbackBackend::Sent{"Synth A", {0x90, 60, 0}}));
    port.send(144, 61, 100);
    {
        MIDIOutput other(midi, ui);
        other.setDeviceID(-1);
        other.setAction(ActionOpen);
        other.send(144, 62, 100);
    }
    EXPECT_EQ(midi.sent().back(), (LoopbackBackend::Sent{"", {0x90, 62, 0}}));
}

TEST_F(OutputTest, RefusedAndFailedNotesAreNotTracked) {
    open(0);
    port.send(144, 130, 100);
    midi.failSend = {ErrorSendFailed, "gone"};
    port.send(144, 60, 100);
    midi.failSend = {};
    midi.clearSent();
    port.setAction(ActionClose);
    EXPECT_TRUE(midi.sentBytes().empty());
}

// A connection that failed is let go of without sending anything more (the
// notes it left sounding cannot be ended there), and the failure is said
// once; afterwards the port is closed.
TEST_F(OutputTest, ConnectionThatFailsIsLetGoWithoutSendingAndReportedOnce) {
    open(0);
    port.send(144, 60, 100);
    midi.clearSent();
    midi.fail("Synth A", {ErrorDeviceGone, "Synth A gone"});
    ui.runPending();
    EXPECT_EQ(port.State(), StateClosed);
    port.send(144, 61, 100);
    port.setAction(ActionClose);
    EXPECT_TRUE(midi.sentBytes().empty());
    EXPECT_EQ(errorCodes(), (std::vector<std::int16_t>{ErrorDeviceGone, ErrorNotDone}));
    EXPECT_EQ(errors[0].text, "Synth A gone");
}

// A send may find the failure before the news reaches the UI thread: the
// failure is reported, not the failed send, and the news then adds nothing.
TEST_F(OutputTest, SendThatFailsWithItsConnectionReportsTheFailureOnce) {
    open(-1);
    midi.fail("", {ErrorSystemStopped, "The MIDI system has stopped."});
    midi.failSend = {ErrorSendFailed, "not sent"};
    port.send(144, 60, 100);
    port.send(144, 61, 100);
    ui.runPending();
    EXPECT_EQ(errorCodes(), (std::vector<std::int16_t>{ErrorSystemStopped, ErrorNotDone}));
    EXPECT_EQ(port.State(), StateClosed);
}

// Output -1 on two MIDI systems at once: the one that fails under a note is
// said once, and the other played the note, so closing ends it there.
TEST_F(OutputTest, OnTwoSystemsTheOneLeftPlaysOnAndEndsItsNotes) {
    LoopbackBackend jack;
    AllSystemsBackend both(midi, jack);
    MIDIOutput joined(both, ui);
    joined.onError = port.onError;
    joined.setDeviceID(-1);
    joined.setAction(ActionOpen);
    jack.fail("", {ErrorSystemStopped, "The JACK server has stopped."});
    jack.failSend = {ErrorSendFailed, "not sent"};
    joined.send(144, 60, 100);
    ui.runPending();
    EXPECT_EQ(joined.State(), StateOpen);
    midi.clearSent();
    joined.setAction(ActionClose);
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0x90, 60, 0}}));
    EXPECT_EQ(errorCodes(), std::vector<std::int16_t>{ErrorSystemStopped});
}

// The whole system stopping takes both ports; it is said once, by the port
// that hears first, and both close.
TEST_F(OutputTest, SystemThatStopsIsToldThroughOnePortOnly) {
    midi.inputs = {"Keys"};
    MIDIInput input(midi, ui);
    input.onError = port.onError;
    input.setAction(ActionOpen);
    open(0);
    midi.fail("", {ErrorSystemStopped, "The MIDI system has stopped."});
    ui.runPending();
    EXPECT_EQ(errorCodes(), std::vector<std::int16_t>{ErrorSystemStopped});
    EXPECT_EQ(input.State(), StateClosed);
    EXPECT_EQ(port.State(), StateClosed);
}

}  // namespace
}  // namespace marovane
