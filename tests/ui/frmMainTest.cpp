// SPDX-License-Identifier: GPL-3.0-or-later
#include "ModalDriver.h"
#include "WindowTest.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace marovane {
namespace {

using Bytes = std::vector<std::vector<unsigned char>>;

class frmMainTest : public testing::WindowTest {
protected:
    // The user leaves the next setup dialog with Ok or Cancel, having chosen
    // these entries.
    void answerSetup(bool ok, int inEntry = 0, int outEntry = 0) {
        testing::onNextModal([=](QWidget* modal) {
            auto* form = qobject_cast<MIDISetupForm*>(modal);
            ASSERT_NE(form, nullptr);
            form->ComboMidiIn->setCurrentIndex(inEntry);
            form->ComboMidiOut->setCurrentIndex(outEntry);
            QTest::mouseClick(ok ? form->CmdOk : form->CmdCancel, Qt::LeftButton);
        });
    }
    void go(bool ok = true) {
        answerSetup(ok);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
    }
    std::vector<std::string> texts(std::initializer_list<QLineEdit*> boxes) {
        std::vector<std::string> shown;
        for (auto* box : boxes) shown.push_back(box->text().toStdString());
        return shown;
    }
};

TEST_F(frmMainTest, PortsStayClosedUntilTheSetupOpensThem) {
    EXPECT_EQ(window->MIDIInput1.State(), 0);
    EXPECT_EQ(window->MIDIOutput1.State(), 0);
    EXPECT_EQ(window->performance.state.setuppending, -1);
    EXPECT_TRUE(window->mnuMidiThru->isChecked());
}

TEST_F(frmMainTest, FirstGoShowsTheSetupThenStartsBothPorts) {
    go(false);  // even a cancelled setup has opened the first entries
    EXPECT_EQ(window->performance.state.setuppending, 0);
    EXPECT_EQ(window->setupForm, nullptr);
    EXPECT_EQ(window->MIDIInput1.State(), 2);
    EXPECT_EQ(window->MIDIOutput1.State(), 2);
    EXPECT_EQ(midi.openInputDevice(), "Keys");

    // The second press shows nothing: a dialog here would never be answered.
    window->MIDIInput1.setAction(ActionStop);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    EXPECT_EQ(window->MIDIInput1.State(), 2);
}

TEST_F(frmMainTest, SetupAfterOkKeepsItsChoicesAndTouchesNoPortUntilOk) {
    answerSetup(true, 1, 1);
    window->mnuMidiSetup->trigger();
    ASSERT_NE(window->setupForm, nullptr);
    EXPECT_FALSE(window->setupForm->isVisible());
    EXPECT_EQ(midi.openInputDevice(), "Pads");
    EXPECT_EQ(window->MIDIOutput1.DeviceID(), 0);
    window->Command1->click();
    ASSERT_EQ(window->MIDIInput1.State(), 2);

    midi.inputs.push_back("New keyboard");
    testing::onNextModal([&](QWidget*) {
        EXPECT_EQ(window->setupForm->ComboMidiIn->currentIndex(), 1);
        EXPECT_EQ(window->setupForm->ComboMidiIn->count(), 2);  // not listed again
        EXPECT_EQ(window->MIDIInput1.State(), 2);
        QTest::mouseClick(window->setupForm->CmdCancel, Qt::LeftButton);
    });
    window->mnuMidiSetup->trigger();
    EXPECT_EQ(window->setupForm, nullptr);
    EXPECT_EQ(window->MIDIInput1.State(), 2);

    // Unloaded: the next showing lists afresh and reopens the first entries.
    testing::onNextModal([&](QWidget*) {
        EXPECT_EQ(window->setupForm->ComboMidiIn->count(), 3);
        EXPECT_EQ(midi.openInputDevice(), "Keys");
        EXPECT_EQ(window->MIDIOutput1.DeviceID(), -1);
        QTest::mouseClick(window->setupForm->CmdCancel, Qt::LeftButton);
    });
    window->mnuMidiSetup->trigger();
}

// After a port found its device or the MIDI system gone, the dialog kept
// after Ok lists the devices there are now when it is shown next, each list
// keeping its choice where that device is still there; no port moves until
// Ok, so a Cancel leaves the output playing where it played. Other failures
// leave the lists alone. A choice is kept by its device, also when the
// device's text loses the id it carried while a twin of its name was there.
TEST_F(frmMainTest, ALossRelistsTheSetupKeptAfterOkAndMovesNoPort) {
    struct Case {
        std::string device;  // empty: every connection
        PortError cause;
        bool relisted;
    };
    const Case cases[] = {
        {"Pads", {ErrorDeviceGone, "Pads has gone."}, true},
        {"", {ErrorSystemStopped, "The MIDI system has stopped."}, true},
        {"Pads", {ErrorSendFailed, "Pads failed."}, false},
    };
    for (const auto& [device, cause, relisted] : cases) {
        SetUp();
        testing::MessageBoxReader user;
        midi.outputs = {"Synth A@1", "Synth A@2"};
        answerSetup(true, 1, 2);
        window->mnuMidiSetup->trigger();
        window->Command1->click();
        midi.fail(device, cause);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !user.texts.empty(); }, 5000)) << cause.text;
        midi.inputs = {"New keyboard", "Keys", "Sequencer"};
        midi.outputs = {"Synth B", "Synth C", "Synth A@2"};
        const int outputState = window->MIDIOutput1.State();

        testing::onNextModal([&](QWidget*) {
            const auto* form = window->setupForm.get();
            EXPECT_EQ(form->ComboMidiIn->count(), relisted ? 3 : 2) << cause.text;
            EXPECT_EQ(form->ComboMidiIn->currentText(), relisted ? "New keyboard" : "Pads") << cause.text;
            EXPECT_EQ(form->ComboMidiOut->count(), relisted ? 4 : 3) << cause.text;
            EXPECT_EQ(form->ComboMidiOut->currentText(), relisted ? "Synth A" : "Synth A (Synth A@2)") << cause.text;
            QTest::mouseClick(form->CmdCancel, Qt::LeftButton);
        });
        midi.clearSent();
        window->mnuMidiSetup->trigger();
        EXPECT_EQ(window->MIDIOutput1.State(), outputState) << cause.text;
        window->MIDIOutput1.send(144, 60, 100);
        EXPECT_EQ(midi.sent().size(), outputState == StateStarted ? 1u : 0u) << cause.text;
        if (!midi.sent().empty()) {
            EXPECT_EQ(midi.sent()[0].device, "Synth A@2");
        }

        answerSetup(true, 1, 1);  // a fresh choice, in the dialog loaded again
        window->mnuMidiSetup->trigger();
        window->Command1->click();
        EXPECT_EQ(midi.openInputDevice(), "Keys") << cause.text;
        midi.receive({0x90, 61, 70});
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->data1->text() == "61"; }, 5000)) << cause.text;
    }
}

// The loss can also be met by the dialog's own Ok: reopening the output ends
// a sounding note on a synthesiser that has gone, or the chosen device is no
// longer there. The dialog closes and is kept, to be listed again.
TEST_F(frmMainTest, ALossMetByOkIsToldAndTheSetupIsKept) {
    for (bool atOpen : {false, true}) {
        SetUp();
        midi.failOpen = midi.failSend = {};
        testing::MessageBoxReader user;
        answerSetup(true, 0, 1);
        window->mnuMidiSetup->trigger();
        window->MIDIOutput1.send(144, 64, 90);
        const QString lost = atOpen ? "Synth A is no longer there." : "Synth A has gone.";
        testing::onNextModal([&](QWidget*) {
            if (atOpen) {
                midi.failOpen = {ErrorNoSuchDevice, lost.toStdString()};
            } else {
                midi.failSend = {ErrorSendFailed, "Not sent."};
                midi.fail("Synth A", {ErrorDeviceGone, lost.toStdString()});
            }
            window->setupForm->CmdOk->click();
        });
        window->mnuMidiSetup->trigger();
        EXPECT_TRUE(user.texts.contains(lost)) << user.texts.join("|").toStdString();
        ASSERT_NE(window->setupForm, nullptr);
        EXPECT_FALSE(window->setupForm->isVisible());
    }
}

TEST_F(frmMainTest, ReceivedMessagesAreForwardedAndShownWhateverThruShows) {
    go();
    window->mnuMidiThru->trigger();
    EXPECT_FALSE(window->mnuMidiThru->isChecked());
    midi.receive({0x90, 60, 100});
    midi.receive({0xC0, 7});
    ASSERT_TRUE(QTest::qWaitFor([&] { return midi.sentBytes().size() == 2; }));
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0x90, 60, 100}, {0xC0, 7}}));
    EXPECT_EQ(midi.dueTimes(), (std::vector<SendTime>(2)));  // as soon as possible
    EXPECT_EQ(texts({window->message, window->data1, window->data2}), (std::vector<std::string>{"192", "7", "0"}));
}

TEST_F(frmMainTest, ArpegiateClickPlaysOnTheVirtualOutput) {
    go();
    window->notescroll->setValue(3);
    window->intervalscroll->setValue(50);
    QTest::mouseClick(window->arpegiate, Qt::LeftButton);
    EXPECT_EQ(window->arpegiate->text(), "Unarpegiate");
    EXPECT_TRUE(window->arptimer.Enabled());

    // Driven by the real timer: wait for the first two steps, then stop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return midi.sentBytes().size() >= 4; }));
    window->performance.StopPerformance();
    const Bytes sent = midi.sentBytes();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4),
              (Bytes{{0x90, 10, 0}, {0x90, 13, 85}, {0x90, 13, 0}, {0x90, 16, 85}}));
    EXPECT_EQ(window->arptimer.Interval(), 50);
    // A step's notes carry the time its tick was due.
    const auto due = midi.dueTimes();
    ASSERT_TRUE(due[0] && due[2]);
    EXPECT_EQ(due[1], due[0]);
    EXPECT_EQ(due[3], due[2]);
    EXPECT_GT(*due[2], *due[0]);
}

TEST_F(frmMainTest, BeatTickReadsTheTickedBoxes) {
    go();
    QTest::mouseClick(window->beatbox[2 * 16], Qt::LeftButton);
    window->beatbox[1 * 16]->setCheckState(Qt::PartiallyChecked);  // dimmed boxes are silent
    QTest::mouseClick(window->beatbutton, Qt::LeftButton);
    EXPECT_EQ(window->beatbutton->text(), "No Beat Mode");
    window->performance.state.arpnote = 60;
    window->performance.arptimer_Timer();
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0xB0, 123, 0}, {0x90, 60, 88}}));
}

// A send that fails with a shown code opens its box in the middle of the
// drain. The input's wake and the clock's ticks that come while it shows
// wait for the drain to end: no message is forwarded twice or skipped.
TEST_F(frmMainTest, NoHandlerRunsInsideTheDrainWhileASendErrorShows) {
    go();
    window->performance.state.arpmode = true;  // the first note starts the clock
    window->notescroll->setValue(-5);
    window->arptimer.setInterval(50);
    midi.failSend = {ErrorSendFailed, "The synthesiser took nothing."};
    QStringList shown;
    testing::onNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        midi.failSend = {};
        midi.receive({0x90, 61, 100});
        midi.receive({0x90, 5, 100});
        QTest::qWait(200);  // the wake and several ticks come meanwhile
        shown << box->text();
        box->button(QMessageBox::Ok)->click();
    });
    midi.receive({0x90, 60, 100});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty() && !window->arptimer.Enabled(); }));
    // Then one tick from the last root, which leaves the range and stops.
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0x90, 61, 100}, {0x90, 5, 100}, {0x90, 5, 0}, {0x90, 0, 100}}));
    EXPECT_EQ(texts({window->message, window->data1, window->data2}), (std::vector<std::string>{"144", "5", "100"}));
    EXPECT_EQ(shown, QStringList{"The synthesiser took nothing."});
}

TEST_F(frmMainTest, InstrumentSliderReportsChangesAndDragsOnlyOnRelease) {
    go();
    EXPECT_EQ(window->label1->text(), "Instrument");
    window->instruslide->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0xC0, 1}}));
    EXPECT_EQ(window->label1->text(), " 2");

    midi.clearSent();
    window->instruslide->setSliderDown(true);
    for (int position : {20, 60, 127}) window->instruslide->setSliderPosition(position);
    EXPECT_TRUE(midi.sentBytes().empty());
    window->instruslide->setSliderDown(false);
    EXPECT_EQ(midi.sentBytes(), (Bytes{{0xC0, 127}}));
    EXPECT_EQ(window->label1->text(), " 128");

    midi.clearSent();
    window->instruslide->setValue(127);  // no change, no message
    EXPECT_TRUE(midi.sentBytes().empty());
}

TEST_F(frmMainTest, ExitAndStopCloseThePortsEndingNotesAndEndTheProgram) {
    for (bool viaStop : {false, true}) {
        SetUp();
        go(true);
        window->show();
        QSignalSpy ended(window.get(), &frmMain::ended);
        window->MIDIOutput1.send(144, 64, 90);
        midi.clearSent();
        if (viaStop) {
            QTest::mouseClick(window->stopbutton, Qt::LeftButton);
        } else {
            window->mnuFileExit->trigger();
        }
        EXPECT_EQ(ended.count(), 1);
        EXPECT_EQ(window->MIDIInput1.State(), 0);
        EXPECT_EQ(window->MIDIOutput1.State(), 0);
        EXPECT_EQ(midi.sentBytes(), (Bytes{{0x90, 64, 0}}));
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(window->setupForm, nullptr);  // the dialog hidden after Ok goes too
    }
}

TEST_F(frmMainTest, ClosingTheWindowStopsAndClosesAStartedInput) {
    go();
    window->show();
    QSignalSpy ended(window.get(), &frmMain::ended);
    window->performance.arpegiate_Click();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(window->MIDIInput1.State(), 0);
    EXPECT_EQ(window->MIDIOutput1.State(), 0);
    EXPECT_FALSE(window->arptimer.Enabled());
}

TEST_F(frmMainTest, PortErrorsAreShownExceptCodesZeroAndEight) {
    QString shown;
    testing::onNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shown = box->text();
        EXPECT_EQ(box->windowTitle(), "Marovane");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    midi.failOpen = {ErrorOpenFailed, "Synth A is busy."};
    window->MIDIOutput1.setDeviceID(0);
    window->MIDIOutput1.setAction(ActionOpen);
    EXPECT_EQ(shown, "Synth A is busy.");

    // Code 8: a send on the closed output; no box may appear (it would block).
    window->MIDIOutput1.send(144, 60, 100);
    window->MIDIInput1.setAction(ActionStart);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace marovane
