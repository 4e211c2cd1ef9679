// SPDX-License-Identifier: GPL-3.0-or-later
#include "MIDIPort.h"

#include <algorithm>
#include <limits>

namespace marovane {

template <class PortInterface, class ConnectionKind>
const std::vector<MidiDevice>& MIDIPort<PortInterface, ConnectionKind>::devices() {
    if (!listed_) {
        devices_ = listDevices();
        listed_ = true;
    }
    return devices_;
}

template <class PortInterface, class ConnectionKind>
std::int16_t MIDIPort<PortInterface, ConnectionKind>::DeviceCount() {
    listed_ = false;
    const std::size_t count = devices().size();
    return static_cast<std::int16_t>(std::min<std::size_t>(count, std::numeric_limits<std::int16_t>::max()));
}

template <class PortInterface, class ConnectionKind>
std::string MIDIPort<PortInterface, ConnectionKind>::ProductName() {
    const auto device = selectedDevice();
    if (!device) return extraDeviceName(deviceId_);
    const auto sameName = [&](const MidiDevice& other) { return other.name == device->name; };
    if (std::count_if(devices_.begin(), devices_.end(), sameName) > 1) return device->name + " (" + device->id + ")";
    return device->name;
}

template <class PortInterface, class ConnectionKind>
std::string MIDIPort<PortInterface, ConnectionKind>::selectedDeviceId() {
    const auto device = selectedDevice();
    return device ? device->id : std::string();
}

template <class PortInterface, class ConnectionKind>
std::string MIDIPort<PortInterface, ConnectionKind>::extraDeviceName(std::int16_t) {
    return {};
}

template <class PortInterface, class ConnectionKind>
void MIDIPort<PortInterface, ConnectionKind>::setAction(std::int16_t code) {
    switch (code) {
    case ActionOpen:
        open();
        break;
    case ActionClose:
        close();
        break;
    case ActionStart:
        if (state_ == StateClosed) {
            raiseError(notOpenToStart(direction_));
            return;
        }
        started(true);
        state_ = StateStarted;
        break;
    case ActionStop:
        if (state_ == StateStarted) {
            started(false);
            state_ = StateOpen;
        }
        break;
    case ActionNext:
        next();
        break;
    case ActionSend:
        sendCurrent();
        break;
    default:
        raiseError(unknownAction(code, direction_));
    }
}

template <class PortInterface, class ConnectionKind>
void MIDIPort<PortInterface, ConnectionKind>::open() {
    close();
    auto opened = openDevice();
    if (!opened.connection) {
        raiseError(opened.error);
        return;
    }
    connection_ = std::move(opened.connection);
    state_ = StateOpen;
}

template <class PortInterface, class ConnectionKind>
void MIDIPort<PortInterface, ConnectionKind>::close() {
    if (connection_) closing();
    release();
}

template <class PortInterface, class ConnectionKind>
void MIDIPort<PortInterface, ConnectionKind>::release() {
    connection_.reset();
    released();
    state_ = StateClosed;
}

template <class PortInterface, class ConnectionKind>
std::optional<MidiDevice> MIDIPort<PortInterface, ConnectionKind>::selectedDevice() {
    const auto& list = devices();
    if (deviceId_ >= 0 && static_cast<std::size_t>(deviceId_) < list.size()) return list[deviceId_];
    return std::nullopt;
}

template <class PortInterface, class ConnectionKind>
void MIDIPort<PortInterface, ConnectionKind>::raiseError(std::int16_t code, const std::string& text) {
    if (onError) onError(code, text);
}

template <class PortInterface, class ConnectionKind>
bool MIDIPort<PortInterface, ConnectionKind>::dropIfFailed() {
    if (!connection_) return false;
    const auto failure = connection_->failure();
    if (!failure) return false;
    // Let go of before the report, whose handler may run other handlers.
    if (!connection_->goesOn()) release();
    if (failure->code != 0) raiseError(*failure);
    return true;
}

template class MIDIPort<MidiInputPort, InputConnection>;
template class MIDIPort<MidiOutputPort, OutputConnection>;

}  // namespace marovane
