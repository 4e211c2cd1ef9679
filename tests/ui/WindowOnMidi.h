// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ModalDriver.h"
#include "ports/PortCommands.h"
#include "ports/SoundingNotes.h"
#include "support/Collectors.h"
#include "ui/MIDISetupForm.h"
#include "ui/QtUiThread.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace marovane::testing {

// The whole program on a real MIDI system, driven as its user would. The
// MIDI system is the subclass's: it makes window_ over its back end and ui_,
// tells what its synthesiser heard, and drops the window before its back end
// goes.
class WindowOnMidi : public ::testing::Test {
protected:
    // A port error that the window showed, with the port that raised it.
    struct Shown {
        std::string port;
        std::int16_t code;
        std::string text;
        bool operator==(const Shown&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Shown& shown) {
            return out << shown.port << " " << shown.code << " \"" << shown.text << "\"";
        }
    };

    // The keyboard on the chosen input plays these, in order.
    virtual void play(const std::vector<Bytes>& messages) = 0;
    // What the synthesiser on the chosen output heard so far, in order.
    virtual std::size_t heardCount() = 0;
    virtual std::vector<Bytes> heardMessages() = 0;

    // "go", choosing these devices in the setup dialog. A device the dialog
    // does not list cancels it, rather than leave the error it would raise
    // waiting for a user.
    void goWith(const std::string& input, const std::string& output) {
        onNextModal([=](QWidget* modal) {
            auto* form = qobject_cast<MIDISetupForm*>(modal);
            ASSERT_NE(form, nullptr);
            const int in = form->ComboMidiIn->findText(QString::fromStdString(input));
            const int out = form->ComboMidiOut->findText(QString::fromStdString(output));
            if (in < 0 || out < 0) {
                ADD_FAILURE() << "the setup dialog does not list " << (in < 0 ? input : output);
                QTest::mouseClick(form->CmdCancel, Qt::LeftButton);
                return;
            }
            form->ComboMidiIn->setCurrentIndex(in);
            form->ComboMidiOut->setCurrentIndex(out);
            QTest::mouseClick(form->CmdOk, Qt::LeftButton);
        });
        QTest::mouseClick(window_->Command1, Qt::LeftButton);
        ASSERT_EQ(window_->MIDIInput1.State(), StateStarted);
        ASSERT_EQ(window_->MIDIOutput1.State(), StateStarted);
        ASSERT_EQ(window_->MIDIInput1.ProductName(), input);
        ASSERT_EQ(window_->MIDIOutput1.ProductName(), output);
    }

    // Whether `holds` comes true within `within`, the window's events going
    // meanwhile.
    static bool whileEventsRun(const std::function<bool()>& holds, std::chrono::milliseconds within) {
        return QTest::qWaitFor(holds, static_cast<int>(within.count()));
    }

    // Arpeggio mode, a semitone up every 50 ms from note 10.
    void startArpeggio() {
        window_->notescroll->setValue(1);
        window_->intervalscroll->setValue(50);
        QTest::mouseClick(window_->arpegiate, Qt::LeftButton);
    }

    // Waits, keeping the window's events going, until the synthesiser has
    // heard at least `count` messages; returns all it heard (fewer when the
    // wait ran out, which the caller's comparison then reports).
    std::vector<Bytes> heard(std::size_t count, int timeoutMs = 5000) {
        if (!QTest::qWaitFor([&] { return heardCount() >= count; }, timeoutMs)) {
            ADD_FAILURE() << "the synthesiser heard only " << heardCount() << " of " << count;
        }
        return heardMessages();
    }

    // Every short message is forwarded as it was played and in order, and the
    // monitor shows the last; system exclusive is not taken in, nor
    // `unsent`: what this MIDI system carries that is no message anyone sent.
    void expectEveryShortMessageForwardedInOrder(const std::vector<Bytes>& unsent = {}) {
        const std::vector<Bytes> played = {
            {0x90, 60, 100}, {0x90, 60, 0}, {0x80, 60, 64}, {0xA1, 60, 50}, {0xB2, 7, 100}, {0xC3, 5},
            {0xD4, 40},      {0xE5, 0, 64}, {0xF8},         {0xFA},         {0xF8},         {0xFB},
            {0xFC},          {0xFE},        {0xF1, 16},     {0xF3, 5},      {0xF6},         {0xFF},
        };
        const Bytes last{0xF2, 16, 32};
        play({{0xF0, 0x7D, 0xF7}});
        play(played);
        play(unsent);
        play({last});

        auto expected = played;
        expected.push_back(last);
        EXPECT_EQ(heard(expected.size()), expected);
        EXPECT_EQ(window_->message->text(), "242");
        EXPECT_EQ(window_->data1->text(), "16");
        EXPECT_EQ(window_->data2->text(), "32");
    }

    // A key received while an arpeggio runs is forwarded, and the next step
    // silences it and plays one above; File > Exit ends the last step's note.
    // The key is a note-on with velocity 0 (a key's release, to many
    // keyboards), which re-roots too but keeps the arpeggio's velocity.
    void expectKeyReRootsTheArpeggioAndExitEndsItsNote() {
        startArpeggio();
        heard(2);  // the arpeggio runs

        const Bytes key{0x90, 60, 0};
        play({key});
        ASSERT_TRUE(QTest::qWaitFor([&] { return window_->performance.state.arpnote > 60; }, 5000));
        window_->performance.StopPerformance();
        const Bytes lastEnded{0x90, static_cast<unsigned char>(window_->performance.state.arpnote), 0};
        window_->mnuFileExit->trigger();
        EXPECT_TRUE(QTest::qWaitFor([&] { return heardCount() > 0 && heardMessages().back() == lastEnded; }, 5000));

        const auto sent = heardMessages();
        const auto forwarded = std::find(sent.begin(), sent.end(), key);
        ASSERT_NE(forwarded, sent.end());
        ASSERT_GE(sent.end() - forwarded, 3);
        EXPECT_EQ(*(forwarded + 1), (Bytes{0x90, 60, 0}));
        EXPECT_EQ(*(forwarded + 2), (Bytes{0x90, 61, 85}));
    }

    // A new run of the program on a back end of its own (the last run's
    // window and back end gone first), started with "go" on the keyboard and
    // on the program's own output port, which the synthesiser listens to.
    virtual void startOnOwnPort() = 0;
    // The program's end as main() has it: the window goes, then the back end.
    virtual void endProgram() = 0;
    // Plays a message from a client of the test's own straight to the
    // synthesiser, past the program.
    virtual void playPastTheProgram(const Bytes& message) = 0;

    // Beat mode with every box ticked, rooted at 10: a full column, notes 0
    // to 20, every 50 ms.
    void startFullColumns() {
        for (QCheckBox* box : window_->beatbox) box->setChecked(true);
        window_->intervalscroll->setValue(50);
        QTest::mouseClick(window_->beatbutton, Qt::LeftButton);
        play({{0x90, 10, 100}});
    }

    // Leaves the program twenty times, at a random point up to `latestMs`
    // after a step (within the allowance the output has for a step's notes:
    // the window's tick, a lead ahead of the step's due time, then the
    // output's latency, or just after it), of what `perform` plays on the
    // program's own port; by each of the window's ways out in turn, the back
    // end going right after as at the program's end. Everything sent is
    // heard, and then the endings: no note is left sounding.
    void expectNoNoteLeftSoundingAfterExits(const std::function<void()>& perform, int latestMs) {
        const std::vector<std::function<void()>> waysOut{
            [this] { window_->mnuFileExit->trigger(); },
            [this] { QTest::mouseClick(window_->stopbutton, Qt::LeftButton); },
            [this] { window_->close(); },
        };
        const unsigned seed = std::random_device{}();
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> afterStepMs(0, latestMs);
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

            EXPECT_EQ(notesLeftOn(before), std::vector<std::int16_t>{});
        }
    }

    // The notes that the synthesiser heard start from its `first` message on,
    // and not end.
    std::vector<std::int16_t> notesLeftOn(std::size_t first) {
        const auto sent = heardMessages();
        SoundingNotes sounding;
        for (auto message = sent.begin() + static_cast<std::ptrdiff_t>(first); message < sent.end(); ++message) {
            const auto at = [&](std::size_t i) {
                return static_cast<std::int16_t>(i < message->size() ? (*message)[i] : 0);
            };
            sounding.track({at(0), at(1), at(2)});
        }
        std::vector<std::int16_t> leftOn;
        for (const ShortMessage& ending : sounding.endings()) leftOn.push_back(ending.data1);
        return leftOn;
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

    // From now on, keeps every port error that the window shows.
    void recordShownErrors() {
        record(window_->MIDIInput1, "input");
        record(window_->MIDIOutput1, "output");
    }

    QtUiThread ui_;
    std::unique_ptr<frmMain> window_;
    std::vector<Shown> shown_;

private:
    template <class Port>
    void record(Port& port, const std::string& name) {
        port.onError = [this, name, show = port.onError](std::int16_t code, const std::string& text) {
            if (isShownPortError(code)) shown_.push_back({name, code, text});
            show(code, text);
        };
    }
};

}  // namespace marovane::testing
