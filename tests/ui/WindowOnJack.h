#pragma once

#include "ModalDriver.h"
#include "ports/PortCommands.h"
#include "ports/jack/JackBackend.h"
#include "support/JackPeers.h"
#include "support/JackServer.h"
#include "ui/QtUiThread.h"
#include "ui/frmMain.h"

#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace marovane::testing {

// The whole program on a real JACK server: a keyboard plays into the input
// the user chose in the setup dialog, and a synthesiser listens on the chosen
// output. Both peers are other JACK clients, made with RtMidi directly.
class WindowOnJack : public ::testing::Test {
protected:
    static constexpr char kKeyboard[] = "PeerKeyboard:keys";
    static constexpr char kSynth[] = "PeerSynth:synth";

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

    void SetUp() override {
        if (!JackServer::unavailable().empty()) GTEST_SKIP() << JackServer::unavailable();
        keyboard_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "PeerKeyboard");
        keyboard_->openVirtualPort("keys");
        synth_ = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "PeerSynth");
        synth_->ignoreTypes(false, false, false);  // hear everything the program sends
        synth_->setCallback(&Collector::deliver, &heard_);
        synth_->openVirtualPort("synth");
        window_ = std::make_unique<frmMain>(backend_, ui_);
    }

    // The program's ports close before the peers go.
    void TearDown() override {
        window_.reset();
        dropKeyboard();
    }

    // "go", choosing these devices in the setup dialog.
    void goWith(const char* input, const char* output) {
        onNextModal([=](QWidget* modal) {
            auto* form = qobject_cast<MIDISetupForm*>(modal);
            ASSERT_NE(form, nullptr);
            form->ComboMidiIn->setCurrentIndex(form->ComboMidiIn->findText(input));
            form->ComboMidiOut->setCurrentIndex(form->ComboMidiOut->findText(output));
            QTest::mouseClick(form->CmdOk, Qt::LeftButton);
        });
        QTest::mouseClick(window_->Command1, Qt::LeftButton);
        ASSERT_EQ(window_->MIDIInput1.State(), StateStarted);
        ASSERT_EQ(window_->MIDIOutput1.State(), StateStarted);
        ASSERT_EQ(window_->MIDIInput1.ProductName(), input);
        ASSERT_EQ(window_->MIDIOutput1.ProductName(), output);
    }
    void goWithPeers() { goWith(kKeyboard, kSynth); }

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
        if (!QTest::qWaitFor([&] { return heard_.count() >= count; }, timeoutMs)) {
            ADD_FAILURE() << "the synthesiser heard only " << heard_.count() << " of " << count;
        }
        return heard_.messages();
    }

    // From now on, keeps every port error that the window shows.
    void recordShownErrors() {
        record(window_->MIDIInput1, "input");
        record(window_->MIDIOutput1, "output");
    }

    // The keyboard's client quits, its port first (see letJackCatchUp).
    void dropKeyboard() {
        if (!keyboard_) return;
        keyboard_->closePort();
        letJackCatchUp();
        keyboard_.reset();
    }
    void dropSynth() { synth_.reset(); }

    // CPU time the whole test process uses while the window's events run for
    // `ms` milliseconds: near nothing when idle, most of it in a busy loop.
    static double cpuSecondsOver(int ms) {
        const double before = cpuSeconds();
        QTest::qWait(ms);
        return cpuSeconds() - before;
    }

    Collector heard_;
    std::unique_ptr<RtMidiOut> keyboard_;
    std::unique_ptr<RtMidiIn> synth_;
    JackBackend backend_;
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

    static double cpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
};

}  // namespace marovane::testing
