// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ports/MidiBackend.h"

#include <memory>
#include <string>
#include <vector>

namespace marovane {

struct AlsaSession;

// The ALSA sequencer, through libasound: one client "Marovane" with the ports
// "Marovane In" and "Marovane Out", made on first use and kept as long as the
// back end, so that connections other programs made to them survive the
// port components' closing and reopening. Devices are other clients' ports,
// named "client name:port name" and told apart by their address. Until the
// sequencer opens, every use tries again; after it was lost (see
// SequencerReader), the next use opens it anew.
//
// Use from the UI thread; the input sinks and change sinks are called on the
// back end's reader thread (see SequencerReader).
class AlsaBackend : public MidiBackend {
public:
    AlsaBackend();
    ~AlsaBackend() override;

    // Whether the sequencer is open, opening it when it is not yet.
    bool available() override;

    std::vector<MidiDevice> inputDevices() override;
    std::vector<MidiDevice> outputDevices() override;
    std::string virtualOutputName() override;

    Opened<InputConnection> openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) override;
    Opened<OutputConnection> openOutput(const MidiDevice& device, ChangeSink& changes) override;
    Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) override;
    Opened<InputConnection> openVirtualInput(ReceiveSink& sink, ChangeSink& changes) override;

private:
    std::vector<MidiDevice> listed(unsigned caps);

    std::shared_ptr<AlsaSession> session_;  // shared with the open connections
    PortError openError_;                   // why the sequencer did not open
};

}  // namespace marovane
