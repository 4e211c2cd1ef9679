// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace marovane {

// Status families of channel messages: the high four bits of the status byte.
// The low four bits are the channel, 0 for channel 1, so the family is also
// the status of its message on channel 1.
enum MidiStatus : std::int16_t {
    StatusNoteOff = 0x80,
    StatusNoteOn = 0x90,
    StatusPolyPressure = 0xA0,
    StatusControlChange = 0xB0,
    StatusProgramChange = 0xC0,
    StatusChannelPressure = 0xD0,
    StatusPitchBend = 0xE0,
    StatusSystem = 0xF0,  // not a channel family: the whole byte says which
};

// The system messages that a short message can carry, and the two that
// frame a system exclusive message, which cannot.
enum MidiSystemStatus : std::int16_t {
    SystemExclusive = 0xF0,
    SystemTimeCode = 0xF1,
    SystemSongPosition = 0xF2,
    SystemSongSelect = 0xF3,
    SystemEndOfExclusive = 0xF7,
};

// Controller numbers of control change messages.
enum MidiController : std::int16_t {
    ControllerAllNotesOff = 123,
};

constexpr int channelCount = 16;
constexpr int noteCount = 128;
// Data bytes carry seven bits.
constexpr std::int16_t highestDataValue = 127;

constexpr int statusFamily(int status) { return status & 0xF0; }
constexpr int statusChannel(int status) { return status & 0x0F; }

// Whether a message ends notes: a note-off, a note-on with velocity 0, or
// all notes off.
constexpr bool endsNotes(int status, int data1, int data2) {
    const int family = statusFamily(status);
    return family == StatusNoteOff || (family == StatusNoteOn && data2 == 0) ||
           (family == StatusControlChange && data1 == ControllerAllNotesOff);
}

}  // namespace marovane
