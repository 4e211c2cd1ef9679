// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MidiBackend.h"

#include <string>
#include <vector>

namespace marovane {

// The MIDI systems running now as one: the ALSA sequencer's devices, then
// those of a JACK server, each in the order its system lists them. JACK
// entries end in " (JACK)" where a list holds the sequencer's too, and their
// ids are tagged, so that no id of one system is taken for the other's.
// JACK ports that only mirror sequencer ports (those of a2jmidid's client
// "a2j" and of PipeWire's "Midi-Bridge") are left out while the sequencer
// is open: its own device is listed instead.
//
// The program's own ports are there on every system that runs: output -1
// sends to "Marovane Out" on each, and an input also hears "Marovane In" on
// the systems that do not hold its device. A system lost under such an own
// port is reported once and the rest goes on; the loss of the device chosen
// is the connection's.
//
// Use from the UI thread, as the back ends it holds.
class AllSystemsBackend : public MidiBackend {
public:
    AllSystemsBackend(MidiBackend& sequencer, MidiBackend& jack) : sequencer_(sequencer), jack_(jack) {}

    bool available() override { return sequencer_.available() || jack_.available(); }
    std::vector<MidiDevice> inputDevices() override;
    std::vector<MidiDevice> outputDevices() override;
    std::string virtualOutputName() override { return sequencer_.virtualOutputName(); }

    Opened<InputConnection> openInput(const MidiDevice& device, ReceiveSink& sink, ChangeSink& changes) override;
    Opened<OutputConnection> openOutput(const MidiDevice& device, ChangeSink& changes) override;
    Opened<OutputConnection> openVirtualOutput(ChangeSink& changes) override;
    Opened<InputConnection> openVirtualInput(ReceiveSink& sink, ChangeSink& changes) override;

private:
    std::vector<MidiDevice> joined(std::vector<MidiDevice> sequencer, std::vector<MidiDevice> jack);
    // The system that holds a listed device, and the device as it lists it.
    MidiBackend& systemOf(const MidiDevice& device, MidiDevice& own);
    MidiBackend& otherThan(const MidiBackend& system) { return &system == &jack_ ? sequencer_ : jack_; }

    MidiBackend& sequencer_;
    MidiBackend& jack_;
};

}  // namespace marovane
