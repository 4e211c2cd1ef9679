// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/MidiStatus.h"
#include "midi/ShortMessage.h"

#include <bitset>
#include <vector>

namespace marovane {

// The notes an output has started and not yet ended, by channel and key.
class SoundingNotes {
public:
    // Follows one message that has gone on the wire.
    void track(const ShortMessage& sent);
    // A velocity-0 note-on for every sounding note; forgets them all.
    std::vector<ShortMessage> endings();

private:
    std::bitset<channelCount * noteCount> notes_;
};

}  // namespace marovane
