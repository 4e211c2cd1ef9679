// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventBytes.h"

#include <algorithm>
#include <array>

namespace marovane {

namespace {

// Where an event keeps a message's data bytes.
enum class Layout {
    Note,     // channel, note, velocity
    Control,  // channel, controller, value
    Value,    // one data byte in the value
    Bend,     // channel, value -8192..8191 for the two 7-bit bytes
    Wide,     // value 0..16383 for the two 7-bit bytes (song position)
    None,     // the status alone
};

struct Kind {
    unsigned char status;  // with channel 0 for channel messages
    snd_seq_event_type_t type;
    Layout layout;
    bool received;  // whether the input takes it in
};

constexpr std::array kinds{
    Kind{0x80, SND_SEQ_EVENT_NOTEOFF, Layout::Note, true},
    Kind{0x90, SND_SEQ_EVENT_NOTEON, Layout::Note, true},
    Kind{0xA0, SND_SEQ_EVENT_KEYPRESS, Layout::Note, true},
    Kind{0xB0, SND_SEQ_EVENT_CONTROLLER, Layout::Control, true},
    Kind{0xC0, SND_SEQ_EVENT_PGMCHANGE, Layout::Value, true},
    Kind{0xD0, SND_SEQ_EVENT_CHANPRESS, Layout::Value, true},
    Kind{0xE0, SND_SEQ_EVENT_PITCHBEND, Layout::Bend, true},
    Kind{0xF1, SND_SEQ_EVENT_QFRAME, Layout::Value, false},
    Kind{0xF2, SND_SEQ_EVENT_SONGPOS, Layout::Wide, true},
    Kind{0xF3, SND_SEQ_EVENT_SONGSEL, Layout::Value, true},
    Kind{0xF6, SND_SEQ_EVENT_TUNE_REQUEST, Layout::None, true},
    Kind{0xF8, SND_SEQ_EVENT_CLOCK, Layout::None, false},
    Kind{0xFA, SND_SEQ_EVENT_START, Layout::None, true},
    Kind{0xFB, SND_SEQ_EVENT_CONTINUE, Layout::None, true},
    Kind{0xFC, SND_SEQ_EVENT_STOP, Layout::None, true},
    Kind{0xFE, SND_SEQ_EVENT_SENSING, Layout::None, false},
    Kind{0xFF, SND_SEQ_EVENT_RESET, Layout::None, true},
};

constexpr int bendCentre = 8192;

bool isChannelStatus(unsigned char status) { return status >= 0x80 && status < 0xF0; }

std::size_t lengthOf(Layout layout) {
    switch (layout) {
    case Layout::Note:
    case Layout::Control:
    case Layout::Bend:
    case Layout::Wide:
        return 3;
    case Layout::Value:
        return 2;
    case Layout::None:
        break;
    }
    return 1;
}

}  // namespace

bool eventFromBytes(const unsigned char* bytes, std::size_t size, snd_seq_event_t& event) {
    if (size == 0) return false;
    const unsigned char status = bytes[0];
    const unsigned char family = isChannelStatus(status) ? status & 0xF0 : status;
    const auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) { return k.status == family; });
    if (kind == kinds.end() || size < lengthOf(kind->layout)) return false;
    const unsigned char channel = status & 0x0F;
    event.type = kind->type;
    switch (kind->layout) {
    case Layout::Note:
        event.data.note = {channel, bytes[1], bytes[2], 0, 0};
        break;
    case Layout::Control:
        event.data.control = {channel, {}, bytes[1], bytes[2]};
        break;
    case Layout::Value:
        event.data.control = {channel, {}, 0, bytes[1]};
        break;
    case Layout::Bend:
        event.data.control = {channel, {}, 0, (bytes[1] | bytes[2] << 7) - bendCentre};
        break;
    case Layout::Wide:
        event.data.control = {0, {}, 0, bytes[1] | bytes[2] << 7};
        break;
    case Layout::None:
        break;
    }
    return true;
}

std::size_t bytesFromEvent(const snd_seq_event_t& event, unsigned char (&bytes)[3]) {
    const auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) { return k.type == event.type; });
    if (kind == kinds.end() || !kind->received) return 0;
    const bool channel = isChannelStatus(kind->status);
    // Note and control events keep the channel in the same place.
    bytes[0] = static_cast<unsigned char>(kind->status | (channel ? event.data.note.channel & 0x0F : 0));
    const auto low7 = [](int value) { return static_cast<unsigned char>(value & 0x7F); };
    switch (kind->layout) {
    case Layout::Note:
        bytes[1] = low7(event.data.note.note);
        bytes[2] = low7(event.data.note.velocity);
        break;
    case Layout::Control:
        bytes[1] = low7(static_cast<int>(event.data.control.param));
        bytes[2] = low7(event.data.control.value);
        break;
    case Layout::Value:
        bytes[1] = low7(event.data.control.value);
        break;
    case Layout::Bend:
    case Layout::Wide: {
        const int value = event.data.control.value + (kind->layout == Layout::Bend ? bendCentre : 0);
        bytes[1] = low7(value);
        bytes[2] = low7(value >> 7);
        break;
    }
    case Layout::None:
        break;
    }
    return lengthOf(kind->layout);
}

}  // namespace marovane
