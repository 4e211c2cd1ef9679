// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <alsa/asoundlib.h>

#include <cstddef>

namespace marovane {

// Short MIDI messages as sequencer events and back. Our own mapping, not
// libasound's coder: it is stateless (no running status to reset), and it
// keeps a note-on with velocity 0 a note-on both ways.

// Fills `event`'s type and data from one complete message; false when the
// sequencer has no event for it (undefined statuses, system exclusive).
bool eventFromBytes(const unsigned char* bytes, std::size_t size, snd_seq_event_t& event);

// The wire bytes of an event the input takes in, into `bytes`; returns their
// number, 0 for events it ignores: system exclusive, clock, time code,
// active sensing, and everything that is no short message.
std::size_t bytesFromEvent(const snd_seq_event_t& event, unsigned char (&bytes)[3]);

}  // namespace marovane
