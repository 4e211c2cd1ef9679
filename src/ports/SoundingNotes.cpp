// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoundingNotes.h"

#include "midi/MidiStatus.h"

namespace marovane {

void SoundingNotes::track(const ShortMessage& sent) {
    const int family = statusFamily(sent.status);
    const int channel = statusChannel(sent.status);
    const std::size_t slot = channel * noteCount + (sent.data1 & highestDataValue);
    if (!endsNotes(sent.status, sent.data1, sent.data2)) {
        if (family == StatusNoteOn) notes_.set(slot);
    } else if (family == StatusControlChange) {
        for (int key = 0; key < noteCount; ++key) notes_.reset(channel * noteCount + key);
    } else {
        notes_.reset(slot);
    }
}

std::vector<ShortMessage> SoundingNotes::endings() {
    std::vector<ShortMessage> endings;
    for (std::size_t slot = 0; slot < notes_.size(); ++slot) {
        if (notes_.test(slot)) {
            endings.push_back({static_cast<std::int16_t>(StatusNoteOn | (slot / noteCount)),
                               static_cast<std::int16_t>(slot % noteCount), 0});
        }
    }
    notes_.reset();
    return endings;
}

}  // namespace marovane
