// SPDX-License-Identifier: GPL-3.0-or-later
#include "MIDIInput.h"

#include <algorithm>
#include <limits>

namespace marovane {

MIDIInput::MIDIInput(MidiBackend& backend, UiThread& ui)
    : MIDIPort(backend, ui, PortDirection::Input), queue_(ui, [this] { raiseWaiting(); }) {}

std::vector<MidiDevice> MIDIInput::listDevices() { return backend_.inputDevices(); }

std::int16_t MIDIInput::MessageCount() const {
    return static_cast<std::int16_t>(std::min<std::size_t>(queue_.size(), std::numeric_limits<std::int16_t>::max()));
}

Opened<InputConnection> MIDIInput::openDevice() {
    const auto device = selectedDevice();
    if (!device) return {nullptr, noDeviceNumber()};
    return backend_.openInput(*device, queue_, *changes_);
}

void MIDIInput::released() {
    queue_.setAccepting(false);
    queue_.clear();
}

void MIDIInput::raiseWaiting() {
    switch (queue_.takeOverflow()) {
    case InputQueue::Overflow::Queue:
        raiseError(queueOverflow(InputQueue::capacity));
        break;
    case InputQueue::Overflow::System:
        raiseError(systemOverflow());
        break;
    case InputQueue::Overflow::None:
        break;
    }
    if (queue_.size() > 0 && onMessage) onMessage();
}

}  // namespace marovane
