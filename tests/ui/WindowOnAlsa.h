// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WindowOnMidi.h"
#include "ports/SoundingNotes.h"
#include "ports/alsa/AlsaBackend.h"
#include "support/alsa/SequencerPeer.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace marovane::testing {

// The whole program on the ALSA sequencer: another client, made with
// libasound directly, plays from its "keys" into the input the user chose in
// the setup dialog and listens with its "synth" on the chosen output.
class WindowOnAlsa : public WindowOnMidi {
protected:
    static constexpr char keyboardPort[] = "Peer:keys";
    static constexpr char synthPort[] = "Peer:synth";

    void SetUp() override { window_ = std::make_unique<frmMain>(*backend_, ui_); }
    // The program's ports close before the peer goes.
    void TearDown() override { window_.reset(); }

    void goWithPeer() { goWith(keyboardPort, synthPort); }

    void play(const std::vector<Bytes>& messages) override { peer_.play(messages); }
    std::size_t heardCount() override { return peer_.heardCount(); }
    std::vector<Bytes> heardMessages() override { return peer_.bytesHeard(0); }

    // A new run of the program on a back end of its own (the last run's
    // window and back end gone first), started with "go" on the keyboard and
    // on the program's own output port, which the synthesiser listens to.
    void startOnOwnPort() {
        endProgram();
        backend_ = std::make_unique<AlsaBackend>();
        window_ = std::make_unique<frmMain>(*backend_, ui_);
        ASSERT_TRUE(backend_->available());
        peer_.connect("Marovane:Marovane Out", synthPort);
        goWith(keyboardPort, "Marovane Out");
    }
    // The program's end as main() has it: the window goes, then the back
    // end, whose client's closing drops what still waits on its queue.
    void endProgram() {
        window_.reset();
        backend_.reset();
    }
    // Plays a message from a client of the test's own straight to the
    // synthesiser, past the program.
    void playPastTheProgram(const Bytes& message) {
        if (!marker_) {
            marker_ = std::make_unique<SequencerPeer>("Marker");
            marker_->connect(marker_->keys(), synthPort);
        }
        marker_->play({message});
    }

    // Beat mode with every box ticked, rooted at 10: a full column, notes 0
    // to 20, every 50 ms.
    void startFullColumns() {
        for (QCheckBox* box : window_->beatbox) box->setChecked(true);
        window_->intervalscroll->setValue(50);
        QTest::mouseClick(window_->beatbutton, Qt::LeftButton);
        play({{0x90, 10, 100}});
    }

    // Leaves the program twenty times, at a random point of the allowance
    // the output has for a step's notes (the window's tick, a lead ahead of
    // the step's due time, then the output's latency), or just after it, of
    // what `perform` plays on the program's own port; by each of the window's
    // ways out in turn, the back end going right after as at the program's
    // end. Everything sent is heard, and then the endings: no note is left
    // sounding.
    void expectNoNoteLeftSoundingAfterExits(const std::function<void()>& perform) {
        const std::vector<std::function<void()>> waysOut{
            [this] { window_->mnuFileExit->trigger(); },
            [this] { QTest::mouseClick(window_->stopbutton, Qt::LeftButton); },
            [this] { window_->close(); },
        };
        const unsigned seed = std::random_device{}();
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> afterStepMs(0, 15);
        for (int exit = 0; exit < 20; ++exit) {
            SCOPED_TRACE(exit);
            startOnOwnPort();
            const std::size_t before = heardCount();
            perform();
            heard(before + 4);  // it plays
            bool left = false;
            afterNextStep(afterStepMs(random), [&] {
                waysOut[exit % waysOut.size()]();
                left = true;
            });
            ASSERT_TRUE(left);
            endProgram();
            const Bytes mark{0xA0, 127, static_cast<unsigned char>(exit)};
            playPastTheProgram(mark);  // heard after all that the program sent
            ASSERT_TRUE(QTest::qWaitFor([&] { return heardMessages().back() == mark; }, 5000));

            const auto sent = heardMessages();
            SoundingNotes sounding;
            for (auto message = sent.begin() + before; message != sent.end(); ++message) {
                const auto at = [&](std::size_t i) {
                    return static_cast<std::int16_t>(i < message->size() ? (*message)[i] : 0);
                };
                sounding.track({at(0), at(1), at(2)});
            }
            std::vector<std::int16_t> leftOn;
            for (const ShortMessage& ending : sounding.endings()) leftOn.push_back(ending.data1);
            EXPECT_EQ(leftOn, std::vector<std::int16_t>{});
        }
    }

    // Runs `act` `delayMs` after the clock's next step. In an event loop of
    // its own, whose timers keep time: QTest's waits sleep between their
    // looks at the events, and the clock's ticks would run that much late.
    void afterNextStep(int delayMs, const std::function<void()>& act) {
        const auto step = [this] {
            return std::pair(window_->performance.state.arpnote, window_->performance.state.beatstep);
        };
        QEventLoop loop;
        QTimer poll;
        poll.setTimerType(Qt::PreciseTimer);
        QObject::connect(&poll, &QTimer::timeout, [&, last = step()] {
            if (step() == last) return;
            poll.stop();
            QTimer::singleShot(delayMs, Qt::PreciseTimer, &loop, [&] {
                act();
                loop.quit();
            });
        });
        poll.start(1);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);  // a clock that stopped
        loop.exec();
    }

    SequencerPeer peer_{"Peer"};
    std::unique_ptr<AlsaBackend> backend_ = std::make_unique<AlsaBackend>();
    std::unique_ptr<SequencerPeer> marker_;
};

}  // namespace marovane::testing
