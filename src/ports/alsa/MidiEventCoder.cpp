// SPDX-License-Identifier: GPL-3.0-or-later
#include "MidiEventCoder.h"

#include "midi/ShortMessage.h"
#include "ports/DeviceErrors.h"

namespace marovane {

namespace {

// The longest an event decodes to: a parameter's four control changes.
constexpr std::size_t decodedBytes = 12;

}  // namespace

MidiEventCoder::MidiEventCoder() {
    if (snd_midi_event_new(decodedBytes, &coder_) < 0) {
        throw PortError{ErrorNoMidiSystem, "The ALSA sequencer's messages could not be read."};
    }
    // Every message with its status, as the input takes them one by one.
    snd_midi_event_no_status(coder_, 1);
}

MidiEventCoder::~MidiEventCoder() { snd_midi_event_free(coder_); }

bool MidiEventCoder::encode(const std::vector<unsigned char>& bytes, snd_seq_event_t& event) {
    snd_midi_event_reset_encode(coder_);
    const long used = snd_midi_event_encode(coder_, bytes.data(), static_cast<long>(bytes.size()), &event);
    return used == static_cast<long>(bytes.size()) && event.type != SND_SEQ_EVENT_NONE;
}

void MidiEventCoder::decode(const snd_seq_event_t& event,
                            const std::function<void(const unsigned char*, std::size_t)>& message) {
    if (snd_seq_ev_is_variable(&event)) return;  // system exclusive
    unsigned char bytes[decodedBytes];
    snd_midi_event_reset_decode(coder_);
    const long size = snd_midi_event_decode(coder_, bytes, sizeof bytes, &event);
    for (long at = 0; at < size;) {
        const auto length = static_cast<std::size_t>(wireLength(bytes[at]));
        if (at + static_cast<long>(length) > size || !isCompleteMessage(bytes + at, length)) return;
        message(bytes + at, length);
        at += static_cast<long>(length);
    }
}

}  // namespace marovane
