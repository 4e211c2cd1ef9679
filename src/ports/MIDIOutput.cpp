#include "MIDIOutput.h"

namespace marovane {

MIDIOutput::~MIDIOutput() { close(); }

std::vector<std::string> MIDIOutput::listDevices() { return backend_.outputDevices(); }

std::string MIDIOutput::extraDeviceName(std::int16_t id) {
    return id == -1 ? backend_.virtualOutputName() : std::string{};
}

void MIDIOutput::setAction(std::int16_t code) {
    switch (code) {
    case ActionOpen:
        open();
        break;
    case ActionClose:
        close();
        break;
    case ActionStart:
        if (state_ == StateClosed) {
            raiseError(ErrorNotDone, "The MIDI output is not open, so it cannot be started.");
            return;
        }
        state_ = StateStarted;
        break;
    case ActionStop:
        if (state_ == StateStarted) state_ = StateOpen;
        break;
    case ActionNext:
        break;  // an output has no queue
    case ActionSend:
        sendCurrent();
        break;
    default:
        raiseError(ErrorUnknownAction, "Unknown MIDI output action " + std::to_string(code) + ".");
    }
}

void MIDIOutput::open() {
    close();
    Opened<OutputConnection> opened;
    if (DeviceID() == -1) {
        opened = backend_.openVirtualOutput(*changes_);
    } else {
        std::string device;
        if (!selectedDevice(device, "output")) return;
        opened = backend_.openOutput(device, *changes_);
    }
    if (!opened.connection) {
        raiseError(opened.error);
        return;
    }
    connection_ = std::move(opened.connection);
    state_ = StateOpen;
}

void MIDIOutput::close() {
    // A synthesiser must not drone on after the program let go of it.
    for (const auto& ending : sounding_.endings()) {
        if (!connection_) break;  // it failed meanwhile
        put(ending);
    }
    abandon();
}

void MIDIOutput::abandon() {
    connection_.reset();
    sounding_ = {};
    state_ = StateClosed;
}

void MIDIOutput::connectionChanged() {
    dropIfFailed(connection_.get(), [this] { abandon(); });
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
    const PortError error = connection_->send(*bytes, {});
    if (error.code != 0) {
        // A send that failed because the connection did is that failure,
        // which is reported once, not once per message.
        if (!dropIfFailed(connection_.get(), [this] { abandon(); })) raiseError(error);
        return;
    }
    sounding_.track(message);
}

}  // namespace marovane
