// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnJack.h"

#include "ports/DeviceErrors.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>

namespace marovane {
namespace {

using testing::Bytes;

struct Loss {
    bool input;  // the keyboard's client quits, else the synthesiser's
    const char* port;
    const char* device;
};

class DeviceLossJackTest : public testing::WindowOnJack, public ::testing::WithParamInterface<Loss> {};

// The client behind a chosen device quits while both ports are started and
// an arpeggio runs: the port of that device says so once and closes, the
// setup dialog kept after Ok stays, the other port goes on, nothing spins,
// and File > Exit still ends the program.
TEST_P(DeviceLossJackTest, IsReportedOnceThroughItsPortAndTheOtherGoesOn) {
    const Loss& loss = GetParam();
    goWithPeers();
    testing::MessageBoxReader user;
    recordShownErrors();
    startArpeggio();
    heard(2);

    if (loss.input) {
        keyboard_.reset();
    } else {
        synth_.reset();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown_.empty(); }, 5000));

    const std::string port = loss.port;
    const std::string report = deviceGone(loss.device, loss.input ? PortDirection::Input : PortDirection::Output).text;
    EXPECT_EQ(shown_, (std::vector<Shown>{{port, ErrorDeviceGone, report}}));
    EXPECT_EQ(user.texts, QStringList{QString::fromStdString(report)});
    EXPECT_NE(window_->setupForm, nullptr);  // kept, to list afresh when shown
    EXPECT_EQ(window_->MIDIInput1.State(), loss.input ? StateClosed : StateStarted);
    EXPECT_EQ(window_->MIDIOutput1.State(), loss.input ? StateStarted : StateClosed);
    if (loss.input) {
        heard(heardCount() + 2);  // the arpeggio still plays
        // Showing the kept dialog lists afresh and moves no port.
        testing::onNextModal([&](QWidget*) { QTest::mouseClick(window_->setupForm->CmdCancel, Qt::LeftButton); });
        window_->mnuMidiSetup->trigger();
        heard(heardCount() + 2);
    } else {
        play({{0x90, 61, 70}});  // still received and shown
        EXPECT_TRUE(QTest::qWaitFor([&] { return window_->data1->text() == "61"; }, 5000));
    }

    EXPECT_LT(cpuSecondsOver(1000), 0.25);
    EXPECT_EQ(shown_.size(), 1u);

    QSignalSpy ended(window_.get(), &frmMain::ended);
    window_->mnuFileExit->trigger();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(window_->MIDIInput1.State(), StateClosed);
    EXPECT_EQ(window_->MIDIOutput1.State(), StateClosed);
}

INSTANTIATE_TEST_SUITE_P(Devices, DeviceLossJackTest,
                         ::testing::Values(Loss{true, "input", "PeerKeyboard:keys"},
                                           Loss{false, "output", "PeerSynth:synth"}));

}  // namespace
}  // namespace marovane
