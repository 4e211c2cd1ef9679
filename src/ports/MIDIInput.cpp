#include "MIDIInput.h"

#include <algorithm>
#include <limits>

namespace marovane {

MIDIInput::MIDIInput(MidiBackend& backend, UiThread& ui)
    : MIDIPort(backend, ui), queue_(ui, [this] { raiseWaiting(); }) {}

MIDIInput::~MIDIInput() { close(); }

std::vector<std::string> MIDIInput::listDevices() { return backend_.inputDevices(); }

std::int16_t MIDIInput::MessageCount() const {
    return static_cast<std::int16_t>(std::min<std::size_t>(queue_.size(), std::numeric_limits<std::int16_t>::max()));
}

ShortMessage MIDIInput::current() const { return queue_.front(); }

void MIDIInput::setAction(std::int16_t code) {
    switch (code) {
    case ActionOpen:
        open();
        break;
    case ActionClose:
        close();
        break;
    case ActionStart:
        if (state_ == StateClosed) {
            raiseError(ErrorNotDone, "The MIDI input is not open, so it cannot be started.");
            return;
        }
        queue_.setAccepting(true);
        state_ = StateStarted;
        break;
    case ActionStop:
        if (state_ == StateStarted) {
            queue_.setAccepting(false);
            state_ = StateOpen;
        }
        break;
    case ActionNext:
        queue_.popFront();
        break;
    case ActionSend:
        break;  // an input has nothing to send
    default:
        raiseError(ErrorUnknownAction, "Unknown MIDI input action " + std::to_string(code) + ".");
    }
}

void MIDIInput::open() {
    close();
    std::string device;
    if (!selectedDevice(device, "input")) return;
    auto opened = backend_.openInput(device, queue_, *changes_);
    if (!opened.connection) {
        raiseError(opened.error);
        return;
    }
    connection_ = std::move(opened.connection);
    state_ = StateOpen;
}

void MIDIInput::close() {
    queue_.setAccepting(false);
    connection_.reset();
    queue_.clear();
    state_ = StateClosed;
}

void MIDIInput::connectionChanged() {
    dropIfFailed(connection_.get(), [this] { close(); });
}

void MIDIInput::raiseWaiting() {
    if (queue_.takeOverflow()) {
        raiseError(ErrorQueueFull, "Too many MIDI messages arrived at once: more than " +
                                       std::to_string(InputQueue::capacity) +
                                       " were waiting, so later ones were dropped.");
    }
    if (queue_.size() > 0 && onMessage) onMessage();
}

}  // namespace marovane
