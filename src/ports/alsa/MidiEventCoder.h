// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>
#include <functional>
#include <vector>

namespace marovane {

// Short MIDI messages as sequencer events and back, by libasound's MIDI
// event coder. A coder keeps the state of a message half read, so each
// thread has one of its own: the reader's to decode, the UI thread's to
// encode. Neither turns a note-on with velocity 0 into a note-off.
class MidiEventCoder {
public:
    // Throws a PortError when libasound has no memory for it.
    MidiEventCoder();
    ~MidiEventCoder();
    MidiEventCoder(const MidiEventCoder&) = delete;
    MidiEventCoder& operator=(const MidiEventCoder&) = delete;

    // Fills `event`'s type and data from one complete message; false when
    // the sequencer has no event for it (undefined statuses).
    bool encode(const std::vector<unsigned char>& bytes, snd_seq_event_t& event);

    // Calls `message` with each short message the event carries, in order,
    // each with its own status: one for most events, two control changes
    // for a 14-bit controller, four for a (non-)registered parameter.
    // System exclusive and events that are no MIDI carry none.
    void decode(const snd_seq_event_t& event, const std::function<void(const unsigned char*, std::size_t)>& message);

private:
    snd_midi_event_t* coder_ = nullptr;
};

}  // namespace marovane
