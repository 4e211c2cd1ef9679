// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PerformanceControls.h"
#include "StepTimer.h"
#include "midi/MessageSender.h"
#include "midi/PortInterfaces.h"

#include <cstdint>

namespace marovane {

// True and false of the 16-bit flags, which are tested for exactly -1.
constexpr std::int16_t flagOn = -1;
constexpr std::int16_t flagOff = 0;

struct PerformanceState {
    std::int16_t setuppending = flagOn;  // the device setup has not been shown yet
    bool arpmode = false;
    std::int16_t beatmode = flagOff;
    // Arpeggio: the note played last (before the first step, the one it
    // starts from). Beat mode: the root of the grid.
    std::int16_t arpnote = 0;
    std::int16_t arpvelocity = 0;
    std::int16_t beatstep = 0;  // grid column the next beat step plays
};

// The two performance modes, the instrument choice and the step clock
// (arptimer) and the handling of received messages, each handler named after
// the event that runs it.
// Arpeggio and beat mode are never on together, and the switch captions
// always follow the flags. Values are 16-bit and never clamped: the output
// decides what can go on the wire.
class Performance {
public:
    Performance(PerformanceControls& controls, StepTimer& arptimer, MessageSender& output);

    void arpegiate_Click();
    void beatbutton_Click();
    void instruslide_Change();
    // Both modes off and the clock stopped; sounding notes go on sounding.
    void StopPerformance();
    // One step of the clock.
    void arptimer_Timer();
    // Received messages are waiting: forward each, show it, and let a note-on
    // on channel 1 re-root the running mode.
    void MIDIInput1_Message(MidiInputPort& MIDIInput1);

    PerformanceState state;

private:
    void arpeggioStep();
    void beatStep();
    void capture(std::int16_t status, std::int16_t data1, std::int16_t data2);
    void showModes();

    PerformanceControls& controls_;
    StepTimer& arptimer_;
    MessageSender& output_;
};

}  // namespace marovane
