// SPDX-License-Identifier: GPL-3.0-or-later
#include "MIDIInput.h"

#include <algorithm>
#include <limits>

namespace marovane {

MIDIInput::MIDIInput(MidiBackend& backend, UiThread& ui)
    : MIDIPort(backend, ui, "input"), queue_(ui, [this] { raiseWaiting(); }) {}

std::vector<MidiDevice> MIDIInput::listDevices() { return backend_.inputDevices(); }

std::int16_t MIDIInput::MessageCount() const {
    return static_cast<std::int16_t>(std::min<std::size_t>(queue_.size(), std::numeric_limits<std::int16_t>::max()));
}

Opened<InputConnection> MIDIInput::openDevice() {
    const auto device = selectedDevice();
    if (!device) return {nullptr, noSuchDevice()};
    return backend_.openInput(*device, queue_, *changes_);
}

void MIDIInput::released() {
    queue_.setAccepting(false);
    queue_.clear();
}

void MIDIInput::raiseWaiting() {
    switch (queue_.takeOverflow()) {
    case InputQueue::Overflow::Queue:
        raiseError(ErrorQueueFull, "Too many MIDI messages arrived at once: more than " +
                                       std::to_string(InputQueue::capacity) +
                                       " were waiting, so later ones were dropped.");
        break;
    case InputQueue::Overflow::System:
        raiseError(ErrorQueueFull,
                   "Too many MIDI messages arrived at once: more were waiting than the MIDI system "
                   "holds for the program, so some were dropped.");
        break;
    case InputQueue::Overflow::None:
        break;
    }
    if (queue_.size() > 0 && onMessage) onMessage();
}

}  // namespace marovane
