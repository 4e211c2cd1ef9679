// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "WindowOnMidi.h"
#include "ports/alsa/AlsaBackend.h"
#include "support/alsa/SequencerPeer.h"

#include <memory>
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

    void startOnOwnPort() override {
        endProgram();
        backend_ = std::make_unique<AlsaBackend>();
        window_ = std::make_unique<frmMain>(*backend_, ui_);
        ASSERT_TRUE(backend_->available());
        peer_.connect("Marovane:Marovane Out", synthPort);
        goWith(keyboardPort, "Marovane Out");
    }
    void endProgram() override {
        window_.reset();
        backend_.reset();
    }
    void playPastTheProgram(const Bytes& message) override {
        if (!marker_) {
            marker_ = std::make_unique<SequencerPeer>("Marker");
            marker_->connect(marker_->keys(), synthPort);
        }
        marker_->play({message});
    }

    SequencerPeer peer_{"Peer"};
    std::unique_ptr<AlsaBackend> backend_ = std::make_unique<AlsaBackend>();
    std::unique_ptr<SequencerPeer> marker_;
};

}  // namespace marovane::testing
