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
        opened = backend_.openVirtualOutput();
    } else {
        std::string device;
        if (!selectedDevice(device, "output")) return;
        opened = backend_.openOutput(device);
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
    if (connection_) {
        for (const auto& ending : sounding_.endings()) put(ending);
    }
    connection_.reset();
    state_ = StateClosed;
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
    const PortError error = connection_->send(*bytes);
    if (error.code != 0) {
        raiseError(error);
        return;
    }
    sounding_.track(message);
}

}  // namespace marovane
