// SPDX-License-Identifier: GPL-3.0-or-later
#include "MIDIOutput.h"

namespace marovane {

std::vector<MidiDevice> MIDIOutput::listDevices() { return backend_.outputDevices(); }

std::string MIDIOutput::extraDeviceName(std::int16_t id) {
    return id == -1 ? backend_.virtualOutputName() : std::string{};
}

Opened<OutputConnection> MIDIOutput::openDevice() {
    if (DeviceID() == -1) return backend_.openVirtualOutput(*changes_);
    const auto device = selectedDevice();
    if (!device) return {nullptr, noDeviceNumber()};
    return backend_.openOutput(*device, *changes_);
}

void MIDIOutput::closing() {
    // A synthesiser must not drone on after the program let go of it.
    for (const auto& ending : sounding_.endings()) {
        if (!connection_) break;  // it failed meanwhile
        put(ending);
    }
}

void MIDIOutput::sendCurrent() {
    if (!connection_) {
        raiseError(ErrorNotDone, "The MIDI output is not open; the message was not sent.");
        return;
    }
    put(message_);
}

void MIDIOutput::put(const ShortMessage& message) {
    std::string why;
    const auto bytes = wireBytes(message, why);
    if (!bytes) {
        raiseError(ErrorNotDone, "Not sent: " + why + ".");
        return;
    }
    const PortError error = connection_->send(*bytes, due_);
    if (error.code != 0) {
        // A send that failed because the connection did is that failure,
        // which is reported once, not once per message. A connection that
        // goes on on another MIDI system has sent it there.
        if (!dropIfFailed()) {
            raiseError(error);
            return;
        }
        if (!connection_) return;
    }
    sounding_.track(message);
}

}  // namespace marovane
