// SPDX-License-Identifier: GPL-3.0-or-later
#include "ports/MIDIInput.h"
#include "ports/MIDIOutput.h"
#include "support/LoopbackBackend.h"
#include "support/ManualUiThread.h"
#include "support/SpyPorts.h"
#include "ui/MIDISetupForm.h"
#include "ui/ModalDriver.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace marovane {
namespace {

QStringList entries(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
}

class MIDISetupFormTest : public ::testing::Test {
protected:
    LoopbackBackend midi;
    testing::ManualUiThread ui;
    MIDIInput input{midi, ui};
    MIDIOutput output{midi, ui};
    std::vector<std::int16_t> errors;

    void SetUp() override {
        midi.inputs = {"Keys", "Pads", "Sequencer"};
        midi.outputs = {"Synth A", "Synth B"};
        input.onError = [this](std::int16_t code, const std::string&) { errors.push_back(code); };
        output.onError = [this](std::int16_t code, const std::string&) { errors.push_back(code); };
    }
    // Which device each port has open, as the loopback sees it.
    std::string openOutputDevice() {
        midi.clearSent();
        output.send(0xF8, 0, 0);
        const auto sent = midi.sent();
        return sent.empty() ? "(closed)" : sent.back().device;
    }
};

TEST_F(MIDISetupFormTest, LooksAsLaidOut) {
    MIDISetupForm form(input, output);
    EXPECT_EQ(form.windowTitle(), "MIDI Setup");
    EXPECT_EQ(form.size(), QSize(421, 80));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    const std::pair<QWidget*, QRect> places[] = {
        {form.Label1, QRect(10, 16, 141, 17)},     {form.Label2, QRect(166, 16, 135, 17)},
        {form.ComboMidiIn, QRect(8, 36, 151, 20)}, {form.ComboMidiOut, QRect(164, 36, 151, 20)},
        {form.CmdOk, QRect(334, 16, 67, 25)},      {form.CmdCancel, QRect(334, 46, 67, 25)},
    };
    for (const auto& [widget, rect] : places) EXPECT_EQ(widget->geometry(), rect) << widget->objectName().toStdString();
    EXPECT_EQ(form.Label1->text(), "MIDI In Device");
    EXPECT_EQ(form.Label2->text(), "MIDI Out Device");
    EXPECT_EQ(form.CmdOk->text(), "Ok");
    EXPECT_EQ(form.CmdCancel->text(), "Cancel");
    EXPECT_FALSE(form.ComboMidiIn->isEditable());
    EXPECT_FALSE(form.CmdOk->isDefault() || form.CmdOk->autoDefault() || form.CmdCancel->autoDefault());

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_EQ(QApplication::focusWidget(), form.ComboMidiIn);
    const QWidget* expectedOrder[] = {form.ComboMidiOut, form.CmdOk, form.CmdCancel, form.ComboMidiIn};
    for (const QWidget* next : expectedOrder) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(&form, key);
    EXPECT_TRUE(form.isVisible());
}

// The exact reads and writes of a load and of Ok, output side first at load
// and input side first on Ok.
TEST(MIDISetupFormSequence, LoadAndOkDriveThePortsInOrder) {
    using Trace = std::vector<std::string>;
    testing::SpyInput input;
    testing::SpyOutput output;
    input.names = {"Keys", "Pads"};
    output.names = {"Synth"};
    Trace joint;
    input.joint = output.joint = &joint;
    input.name = "in";
    output.name = "out";
    const auto sidesInOrder = [&joint] {
        std::vector<char> sides;
        for (const auto& entry : joint) {
            if (sides.empty() || sides.back() != entry[0]) sides.push_back(entry[0]);
        }
        joint.clear();
        return std::string(sides.begin(), sides.end());
    };

    MIDISetupForm form(input, output);
    EXPECT_EQ(sidesInOrder(), "oi");
    EXPECT_EQ(output.trace, (Trace{"DeviceCount", "DeviceID=-1", "ProductName", "DeviceID=0", "ProductName",
                                   "DeviceID=-1", "State?", "DeviceID?", "Action=2", "DeviceID=-1", "Action=1"}));
    EXPECT_EQ(input.trace, (Trace{"DeviceCount", "DeviceID=0", "ProductName", "DeviceID=1", "ProductName", "DeviceID=0",
                                  "State?", "DeviceID=0", "Action=1"}));

    input.trace.clear();
    output.trace.clear();
    form.ComboMidiIn->setCurrentIndex(1);
    QTest::mouseClick(form.CmdOk, Qt::LeftButton);
    EXPECT_EQ(sidesInOrder(), "io");
    EXPECT_EQ(input.trace, (Trace{"State?", "Action=2", "DeviceID=1", "Action=1"}));
    EXPECT_EQ(output.trace, (Trace{"State?", "DeviceID?", "Action=2", "DeviceID=-1", "Action=1"}));
}

TEST_F(MIDISetupFormTest, LoadListsDevicesAndOpensTheFirstEntries) {
    MIDISetupForm form(input, output);
    EXPECT_EQ(entries(form.ComboMidiOut), (QStringList{"Loopback virtual output", "Synth A", "Synth B"}));
    EXPECT_EQ(entries(form.ComboMidiIn), (QStringList{"Keys", "Pads", "Sequencer"}));
    EXPECT_EQ(form.ComboMidiOut->currentIndex(), 0);
    EXPECT_EQ(form.ComboMidiIn->currentIndex(), 0);
    EXPECT_EQ(output.State(), 1);
    EXPECT_EQ(output.DeviceID(), -1);
    EXPECT_EQ(openOutputDevice(), "");
    EXPECT_EQ(input.State(), 1);
    EXPECT_EQ(midi.openInputDevice(), "Keys");
    EXPECT_TRUE(errors.empty());
}

TEST_F(MIDISetupFormTest, OkReopensBothPortsOnTheChosenEntriesUnstarted) {
    MIDISetupForm form(input, output);
    input.setAction(ActionStart);
    output.setAction(ActionStart);
    form.ComboMidiIn->setCurrentIndex(1);
    form.ComboMidiOut->setCurrentIndex(2);
    QTest::mouseClick(form.CmdOk, Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(input.State(), 1);
    EXPECT_EQ(midi.openInputDevice(), "Pads");
    EXPECT_EQ(output.State(), 1);
    EXPECT_EQ(output.DeviceID(), 1);
    EXPECT_EQ(openOutputDevice(), "Synth B");
}

TEST_F(MIDISetupFormTest, CancelLeavesThePortsAsTheLoadOpenedThem) {
    MIDISetupForm form(input, output);
    form.ComboMidiIn->setCurrentIndex(2);
    QTest::mouseClick(form.CmdCancel, Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(midi.openInputDevice(), "Keys");
    EXPECT_EQ(openOutputDevice(), "");
}

TEST_F(MIDISetupFormTest, WithNoInputDeviceTheListIsEmptyAndTheInputStaysClosed) {
    midi.inputs.clear();
    midi.outputs.clear();
    MIDISetupForm form(input, output);
    EXPECT_EQ(form.ComboMidiIn->count(), 0);
    EXPECT_EQ(form.ComboMidiIn->currentIndex(), -1);
    EXPECT_EQ(entries(form.ComboMidiOut), QStringList{"Loopback virtual output"});
    EXPECT_EQ(input.State(), 0);
    EXPECT_EQ(output.State(), 1);
    QTest::mouseClick(form.CmdOk, Qt::LeftButton);
    EXPECT_EQ(input.State(), 0);
    EXPECT_EQ(output.State(), 1);
    EXPECT_TRUE(errors.empty());
}

TEST_F(MIDISetupFormTest, TitleBarCloseRejectsLikeCancel) {
    MIDISetupForm form(input, output);
    bool closed = false;
    testing::onNextModal([&](QWidget* modal) {
        closed = modal == &form;
        modal->close();
    });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_TRUE(closed);
}

}  // namespace
}  // namespace marovane
