// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "MIDIPort.h"
#include "SoundingNotes.h"

namespace marovane {

// The MIDI output port component. DeviceID -1 is the program's own virtual
// output port, for a synthesiser to connect to; 0.. are other clients' ports.
//
// A message goes on the wire only when its status is 128..255 and every data
// byte its status puts on the wire is 0..127; anything else is refused
// (Error code ErrorNotDone) rather than clamped or masked into another note.
// Closing first ends every note that this port started and that still sounds;
// a connection that failed (its device or the MIDI system gone) is let go of
// at once, and the failure reported.
class MIDIOutput : public MIDIPort<MidiOutputPort, OutputConnection> {
public:
    MIDIOutput(MidiBackend& backend, UiThread& ui) : MIDIPort(backend, ui, PortDirection::Output) {}
    ~MIDIOutput() override { close(); }

    void setMessage(std::int16_t status) override { message_.status = status; }
    void setData1(std::int16_t value) override { message_.data1 = value; }
    void setData2(std::int16_t value) override { message_.data2 = value; }
    // When the messages sent from now on are due: a step of the clock sets
    // the time its tick was due, so that its notes keep the beat however late
    // the tick ran; empty (as soon as possible) for everything else.
    void setDueTime(SendTime due) { due_ = due; }

protected:
    std::vector<MidiDevice> listDevices() override;
    std::string extraDeviceName(std::int16_t id) override;
    Opened<OutputConnection> openDevice() override;
    void closing() override;
    void released() override { sounding_ = {}; }
    void sendCurrent() override;

private:
    void put(const ShortMessage& message);

    ShortMessage message_;
    SendTime due_;
    SoundingNotes sounding_;
};

}  // namespace marovane
