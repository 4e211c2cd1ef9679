// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WindowOnMidi.h"
#include "ports/jack/JackBackend.h"
#include "support/JackPeer.h"
#include "support/JackServer.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace marovane::testing {

// The whole program on a real JACK server: a keyboard plays into the input
// the user chose in the setup dialog, and a synthesiser listens on the chosen
// output. Both peers are other JACK clients; dropping one closes its client.
// The keyboard has the server's defaults, as a desktop user's would.
class WindowOnJack : public WindowOnMidi {
protected:
    static constexpr char keyboardPort[] = "PeerKeyboard:keys";
    static constexpr char synthPort[] = "PeerSynth:synth";

    static constexpr char ownOutput[] = "Marovane:Marovane Out";

    void SetUp() override {
        if (!JackServer::unavailable().empty()) GTEST_SKIP() << JackServer::unavailable();
        keyboard_ = std::make_unique<JackPeer>("PeerKeyboard", "");
        synth_ = std::make_unique<JackPeer>("PeerSynth");
        window_ = std::make_unique<frmMain>(*backend_, ui_);
    }

    // The program's ports close before the peers go.
    void TearDown() override {
        window_.reset();
        keyboard_.reset();
        synth_.reset();
        marker_.reset();
    }

    // The back end's client may be older than the peers, and PipeWire tells
    // a client of another's new ports a little later. JACK puts a connection
    // into effect some cycles after it was made: what is played before that
    // is lost, so the test goes on once the thru carries, without its probes.
    void goWithPeers(const std::string& output = synthPort) {
        const auto lists = [](const std::vector<MidiDevice>& devices, const char* port) {
            return std::find(devices.begin(), devices.end(), jackDevice(port)) != devices.end();
        };
        ASSERT_TRUE(eventually([&] {
            return lists(backend_->inputDevices(), keyboardPort) && lists(backend_->outputDevices(), synthPort);
        }));
        goWith(keyboardPort, output);
        expectCarriesToTheSynth([&](const Bytes& probe) { play({probe}); });
    }

    // What `play` plays reaches the synthesiser steadily, the window's
    // events going meanwhile; the probes are then forgotten.
    void expectCarriesToTheSynth(const std::function<void(const Bytes&)>& play) {
        ASSERT_TRUE(carriesSteadily(
            play, [&] { return heardMessages(); }, whileEventsRun));
        synth_->forget();
    }

    // CPU time the whole test process uses while the window's events run for
    // `ms` milliseconds: near nothing when idle, most of it in a busy loop.
    static double cpuSecondsOver(int ms) {
        const double before = cpuSeconds();
        QTest::qWait(ms);
        return cpuSeconds() - before;
    }

    void startOnOwnPort() override {
        endProgram();
        backend_ = std::make_unique<JackBackend>();
        window_ = std::make_unique<frmMain>(*backend_, ui_);
        // Once the program's client is active: its ports are listed before.
        ASSERT_TRUE(eventually([&] { return jack_connect(synth_->client(), ownOutput, synthPort) == 0; }));
        goWithPeers("Marovane Out");
    }
    // Once the program's client has gone, a new one takes its name again.
    void endProgram() override {
        window_.reset();
        backend_.reset();
        ASSERT_TRUE(eventually([&] { return jack_port_by_name(synth_->client(), ownOutput) == nullptr; }));
    }
    // Through a connection made, and seen to carry, before the first use.
    void playPastTheProgram(const Bytes& message) override { marker_->play({message}); }
    void connectMarker() {
        marker_ = std::make_unique<JackPeer>("Marker");
        ASSERT_EQ(jack_connect(marker_->client(), marker_->keys().c_str(), synthPort), 0);
        expectCarriesToTheSynth([&](const Bytes& probe) { marker_->play({probe}); });
    }

    void play(const std::vector<Bytes>& messages) override { keyboard_->play(messages); }
    std::size_t heardCount() override { return synth_->heardCount(); }
    std::vector<Bytes> heardMessages() override { return synth_->heardBytes(0); }

    std::unique_ptr<JackPeer> keyboard_;
    std::unique_ptr<JackPeer> synth_;
    std::unique_ptr<JackPeer> marker_;
    std::unique_ptr<JackBackend> backend_ = std::make_unique<JackBackend>();

private:
    static double cpuSeconds() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    }
};

}  // namespace marovane::testing
