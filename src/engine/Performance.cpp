// SPDX-License-Identifier: GPL-3.0-or-later
#include "Performance.h"

#include "midi/BeatGrid.h"
#include "midi/MidiStatus.h"

#include <string>

namespace marovane {

namespace {
constexpr std::int16_t arpeggioStartNote = 10;
constexpr std::int16_t arpeggioVelocity = 85;
constexpr std::int16_t lowestArpeggioNote = 3;
constexpr std::int16_t highestArpeggioNote = 127;
constexpr std::int16_t gridVelocity = 88;
// A captured key's velocity replaces the arpeggio's only above this.
constexpr std::int16_t velocityThreshold = 3;
// Row r of the grid plays arpnote + 10 - 5 * r.
constexpr std::int16_t topRowInterval = 10;
constexpr std::int16_t rowSpacing = 5;

std::int16_t add16(int a, int b) { return static_cast<std::int16_t>(a + b); }
}  // namespace

Performance::Performance(PerformanceControls& controls, StepTimer& arptimer, MessageSender& output)
    : controls_(controls), arptimer_(arptimer), output_(output) {}

void Performance::showModes() {
    controls_.setArpegiateCaption(state.arpmode ? "Unarpegiate" : "Arpegiate");
    controls_.setBeatButtonCaption(state.beatmode == flagOn ? "No Beat Mode" : "Beat Mode");
}

void Performance::arpegiate_Click() {
    if (state.arpmode) {
        // The last note keeps sounding and the clock keeps running.
        state.arpmode = false;
        controls_.setArpegiateCaption("Arpegiate");
        return;
    }
    state.arpmode = true;
    state.beatmode = flagOff;
    showModes();
    arptimer_.setEnabled(true);
    state.arpnote = arpeggioStartNote;
    state.arpvelocity = arpeggioVelocity;
}

void Performance::beatbutton_Click() {
    if (state.beatmode == flagOn) {
        state.beatmode = flagOff;
        controls_.setBeatButtonCaption("Beat Mode");
        output_.send(StatusControlChange, ControllerAllNotesOff, 0);
        return;
    }
    state.beatmode = flagOn;
    state.arpmode = false;
    showModes();
}

void Performance::instruslide_Change() {
    const std::int16_t program = controls_.instrument();
    output_.send(StatusProgramChange, program, 0);
    controls_.setInstrumentCaption(" " + std::to_string(add16(program, 1)));
}

void Performance::StopPerformance() {
    arptimer_.setEnabled(false);
    state.beatmode = flagOff;
    state.arpmode = false;
    showModes();
}

void Performance::arptimer_Timer() {
    // The period just loaded governs the time to the next tick.
    arptimer_.setInterval(controls_.stepPeriod());
    if (state.arpmode) {
        arpeggioStep();
    } else if (state.beatmode == flagOn) {
        beatStep();
    }
}

void Performance::arpeggioStep() {
    const std::int16_t step = controls_.noteStep();
    state.arpnote = add16(state.arpnote, step);
    if (state.arpnote > highestArpeggioNote || state.arpnote < lowestArpeggioNote) {
        arptimer_.setEnabled(false);  // this step's note is still played
    }
    output_.send(StatusNoteOn, add16(state.arpnote, -step), 0);
    output_.send(StatusNoteOn, state.arpnote, state.arpvelocity);
}

void Performance::beatStep() {
    // Grid notes are never ended one by one: this ends the previous column.
    output_.send(StatusControlChange, ControllerAllNotesOff, 0);
    for (int row = 0; row < gridRows; ++row) {
        if (controls_.beatBox(row * gridColumns + state.beatstep) == 1) {
            output_.send(StatusNoteOn, add16(state.arpnote, topRowInterval - rowSpacing * row), gridVelocity);
        }
    }
    state.beatstep = state.beatstep == gridColumns - 1 ? 0 : add16(state.beatstep, 1);
}

void Performance::MIDIInput1_Message(MidiInputPort& MIDIInput1) {
    // Whatever arrives meanwhile is handled in the same run.
    while (MIDIInput1.MessageCount() > 0) {
        const std::int16_t status = MIDIInput1.Message();
        const std::int16_t data1 = MIDIInput1.Data1();
        const std::int16_t data2 = MIDIInput1.Data2();
        capture(status, data1, data2);
        output_.send(status, data1, data2);
        MIDIInput1.setAction(ActionNext);
        controls_.showMonitor(std::to_string(status), std::to_string(data1), std::to_string(data2));
    }
}

void Performance::capture(std::int16_t status, std::int16_t data1, std::int16_t data2) {
    if (status != StatusNoteOn) return;
    if (state.arpmode) {
        arptimer_.setEnabled(true);
        state.arpnote = data1;
        if (data2 > velocityThreshold) state.arpvelocity = data2;
    } else if (state.beatmode == flagOn) {
        state.beatstep = 0;
        state.arpnote = data1;
        arptimer_.setEnabled(true);
    }
}

}  // namespace marovane
