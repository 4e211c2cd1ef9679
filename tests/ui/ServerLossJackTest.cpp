// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowOnJack.h"

#include "ports/DeviceErrors.h"

#include <QAction>
#include <QSignalSpy>

#include <chrono>
#include <future>

namespace marovane {
namespace {

using namespace std::chrono_literals;

class ServerLossJackTest : public testing::WindowOnJack {};

// Lets a server that stands still run again after ten seconds, unless the
// test did first: a window that waits for the server then fails the test
// rather than hang it.
struct Rescue {
    std::promise<void> told;
    std::future<bool> rescued = std::async(std::launch::async, [ended = told.get_future()] {
        const bool late = ended.wait_for(10s) == std::future_status::timeout;
        testing::JackServer::resume();
        return late;
    });
    // Lets the server run again; whether the rescue had to, before.
    bool end() {
        told.set_value();
        return rescued.get();
    }
};

// The JACK server stands still (SIGSTOP) while an arpeggio plays: once no
// process cycle has run for a second, the JACK back end refuses to send and
// the output says so once, rather than queueing notes for a server that may
// never take them; nothing spins. Once the server runs again the arpeggio is
// heard again, and the program ends cleanly.
TEST_F(ServerLossJackTest, AStalledServerIsReportedOnceAndPlayingGoesOnAfterIt) {
    goWithPeers();
    testing::MessageBoxReader user;
    recordShownErrors();
    startArpeggio();
    heard(2);

    testing::JackServer::suspend();
    const bool reported = QTest::qWaitFor([&] { return !shown_.empty(); }, 5000);
    const double cpu = cpuSecondsOver(1000);
    testing::JackServer::resume();
    ASSERT_TRUE(reported);

    const std::string report = jackStalled().text;
    EXPECT_EQ(shown_, (std::vector<Shown>{{"output", ErrorSendFailed, report}}));
    EXPECT_EQ(user.texts, QStringList{QString::fromStdString(report)});
    EXPECT_LT(cpu, 0.25);
    EXPECT_EQ(window_->MIDIOutput1.State(), StateStarted);
    const std::size_t before = heardCount();
    heard(before + 4);

    QSignalSpy ended(window_.get(), &frmMain::ended);
    window_->mnuFileExit->trigger();
    EXPECT_EQ(ended.count(), 1);
}

// The JACK server stands still (SIGSTOP) while both ports are started and an
// arpeggio plays, and the window never waits for it: MIDI > Setup and Ok
// return, and the program says once that the MIDI system stopped
// responding; "stop" ends the program, its back end included, while the
// server still stands still. Once it runs again, the program's client
// closes, and every note it started has been ended, what was due meanwhile
// written at once.
TEST_F(ServerLossJackTest, AServerStandingStillNeverHoldsUpTheWindow) {
    for (const bool setupFirst : {false, true}) {
        SCOPED_TRACE(setupFirst);
        if (!window_) {
            backend_ = std::make_unique<JackBackend>();
            window_ = std::make_unique<frmMain>(*backend_, ui_);
        }
        goWithPeers();
        testing::MessageBoxReader user;
        shown_.clear();
        recordShownErrors();
        startArpeggio();
        heard(2);

        testing::JackServer::suspend();
        Rescue rescue;
        if (setupFirst) {
            testing::onNextModal(
                [](QWidget* form) { QTest::mouseClick(qobject_cast<MIDISetupForm*>(form)->CmdOk, Qt::LeftButton); });
            window_->mnuMidiSetup->trigger();
            EXPECT_TRUE(QTest::qWaitFor([&] { return !shown_.empty(); }, 5000));
            EXPECT_EQ(shown_, (std::vector<Shown>{{"output", ErrorSendFailed, jackStalled().text}}));
        }
        QTest::mouseClick(window_->stopbutton, Qt::LeftButton);
        window_.reset();
        backend_.reset();
        EXPECT_FALSE(rescue.end());

        ASSERT_TRUE(testing::eventually([&] { return jack_port_by_name(synth_->client(), ownOutput) == nullptr; }));
        // PipeWire, catching up after standing still, runs cycles without
        // its other clients and loses what they carry.
        if (!testing::JackServer::pipeWire()) {
            EXPECT_EQ(notesLeftOn(0), std::vector<std::int16_t>{});
        }
    }
}

// The JACK server dies (SIGKILL) while both ports are started and an
// arpeggio runs: the program says once that the MIDI system has stopped and
// closes both ports, nothing spins, File > Exit still ends the program, and
// a server that runs again is found at the next use.
TEST_F(ServerLossJackTest, IsReportedOnceAndTheProgramStaysUsable) {
    goWithPeers();
    testing::MessageBoxReader user;
    recordShownErrors();
    startArpeggio();
    heard(2);

    testing::JackServer::kill();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown_.empty(); }, 5000));

    const std::string report = jackServerGone().text;
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].code, ErrorSystemStopped);
    EXPECT_EQ(shown_[0].text, report);
    EXPECT_EQ(user.texts, QStringList{QString::fromStdString(report)});
    EXPECT_EQ(window_->MIDIInput1.State(), StateClosed);
    EXPECT_EQ(window_->MIDIOutput1.State(), StateClosed);

    EXPECT_LT(cpuSecondsOver(1000), 0.25);  // the arpeggio still ticks meanwhile
    EXPECT_EQ(shown_.size(), 1u);

    // The peers, other programs really, go with their server. Until then
    // libjack must not see a new client in this process (see findSystem).
    keyboard_.reset();
    synth_.reset();
    EXPECT_EQ(window_->MIDIInput1.DeviceCount(), 0);

    QSignalSpy ended(window_.get(), &frmMain::ended);
    window_->mnuFileExit->trigger();
    EXPECT_EQ(ended.count(), 1);

    ASSERT_TRUE(testing::JackServer::restart());
    const testing::JackPeer again("PeerAgain");
    EXPECT_EQ(backend_->inputDevices(), std::vector<MidiDevice>{testing::jackDevice("PeerAgain:keys")});
}

}  // namespace
}  // namespace marovane
