// SPDX-License-Identifier: GPL-3.0-or-later
#include "JackCycle.h"

#include "midi/ShortMessage.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cmath>

namespace marovane {

namespace {

// What a message costs in a port buffer under PipeWire's JACK library: it
// passes the buffer on as a sequence of controls, each a 16-byte header and
// the bytes padded to 8, in a buffer of 32 KiB; what does not fit there is
// dropped with the whole cycle, while jack_midi_event_write has said yes. A
// three-byte message costs 24 bytes, so some 1,360 fit (1,365 were seen to
// pass). Each cycle writes only what the cleared buffer's room pays for at
// that cost; jackd2 takes 12 bytes for a short message, so the same count
// keeps within both.
constexpr std::size_t eventCost(std::size_t size) { return 16 + (size + 7) / 8 * 8; }
// The sequence's own header, with room to spare.
constexpr std::size_t bufferReserve = 64;

// A message this long overdue on JACK's clock goes at once, whatever frame
// its time maps to: the mapping follows the server's estimate of its cycles,
// which on a busy machine was seen to lag by a fraction of a second.
constexpr std::int64_t overdueUs = 1'000'000;

}  // namespace

bool takeIncoming(void* portBuffer, IncomingRing& ring) {
    bool took = false;
    const std::uint32_t count = jack_midi_get_event_count(portBuffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        // An event cut short or run together with another is no message
        // anyone sent: it is neither forwarded, nor shown, nor a root.
        if (jack_midi_event_get(&event, portBuffer, i) != 0 || !isCompleteMessage(event.buffer, event.size)) continue;
        IncomingMessage message;
        message.size = static_cast<std::uint8_t>(event.size);
        std::copy_n(event.buffer, event.size, message.bytes.begin());
        // The ring holds more than the input queue behind it, which reports
        // its own overflow; the relay empties it every cycle.
        took = ring.push(message) || took;
    }
    return took;
}

// A message due at a time sounds one period after it: in the cycle that runs
// once that time has passed, at the frame the time maps to. So a message sent
// on time by a timer lands on its exact frame, however late in the period
// the timer ran. Messages never overtake one another: one that waits for its
// frame holds back those behind it, and one whose frame has passed goes at
// the first free frame.
//
// Times map to frames by the cycle's own start and length on JACK's clock,
// as jackd2's jack_time_to_frames does; PipeWire's (0.3.65) maps any time
// before the cycle's start some 2^31 frames away.
bool writeOutgoing(jack_client_t* client, jack_nframes_t frames, void* portBuffer, OutgoingRing& ring, bool atOnce) {
    jack_midi_clear_buffer(portBuffer);
    // Idle cycles ask nothing more of JACK: some clocks cost a system call.
    if (!ring.front()) return false;
    const std::size_t room = jack_midi_max_event_size(portBuffer);
    std::size_t budget = room > bufferReserve ? room - bufferReserve : 0;
    jack_nframes_t cycleStart = 0;
    jack_time_t startUs = 0;
    jack_time_t nextStartUs = 0;
    float periodUs = 0;
    const bool timed =
        jack_get_cycle_times(client, &cycleStart, &startUs, &nextStartUs, &periodUs) == 0 && nextStartUs > startUs;
    const double framesPerUs = timed ? static_cast<double>(frames) / static_cast<double>(nextStartUs - startUs) : 0;
    const auto now = static_cast<std::int64_t>(jack_get_time());
    jack_nframes_t free = 0;
    bool wrote = false;
    while (const OutgoingMessage* message = ring.front()) {
        jack_nframes_t frame = free;
        const auto due = static_cast<std::int64_t>(message->due);
        if (timed && !atOnce && due != 0 && due + overdueUs > now) {
            const auto sinceStart = static_cast<double>(due - static_cast<std::int64_t>(startUs));
            const std::int64_t offset = std::llround(sinceStart * framesPerUs) + frames;
            if (offset >= frames) break;
            if (offset > free) frame = static_cast<jack_nframes_t>(offset);
        }
        const std::size_t cost = eventCost(message->size);
        if (cost > budget || jack_midi_event_write(portBuffer, frame, message->bytes.data(), message->size) != 0) break;
        budget -= cost;
        free = frame;
        ring.pop();
        wrote = true;
    }
    return wrote;
}

}  // namespace marovane
