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

    void SetUp() override { window_ = std::make_unique<frmMain>(backend_, ui_); }
    // The program's ports close before the peer goes.
    void TearDown() override { window_.reset(); }

    void goWithPeer() { goWith(keyboardPort, synthPort); }

    void play(const std::vector<Bytes>& messages) override { peer_.play(messages); }
    std::size_t heardCount() override { return peer_.heardCount(); }
    std::vector<Bytes> heardMessages() override { return peer_.bytesHeard(0); }

    SequencerPeer peer_{"Peer"};
    AlsaBackend backend_;
};

}  // namespace marovane::testing
