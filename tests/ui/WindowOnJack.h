#pragma once

#include "WindowOnMidi.h"
#include "ports/jack/JackBackend.h"
#include "support/JackPeers.h"
#include "support/JackServer.h"

#include <ctime>
#include <memory>
#include <vector>

namespace marovane::testing {

// The whole program on a real JACK server: a keyboard plays into the input
// the user chose in the setup dialog, and a synthesiser listens on the chosen
// output. Both peers are other JACK clients, made with RtMidi directly.
class WindowOnJack : public WindowOnMidi {
protected:
    static constexpr char kKeyboard[] = "PeerKeyboard:keys";
    static constexpr char kSynth[] = "PeerSynth:synth";

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

    void goWithPeers() { goWith(kKeyboard, kSynth); }

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

    void play(const std::vector<Bytes>& messages) override { send(*keyboard_, messages); }
    std::size_t heardCount() override { return heard_.count(); }
    std::vector<Bytes> heardMessages() override { return heard_.messages(); }

    Collector heard_;
    std::unique_ptr<RtMidiOut> keyboard_;
    std::unique_ptr<RtMidiIn> synth_;
    JackBackend backend_;

private:
    static double cpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
};

}  // namespace marovane::testing
