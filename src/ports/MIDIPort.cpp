#include "MIDIPort.h"

#include <algorithm>
#include <limits>

namespace marovane {

template <class PortInterface>
const std::vector<std::string>& MIDIPort<PortInterface>::devices() {
    if (!listed_) {
        devices_ = listDevices();
        listed_ = true;
    }
    return devices_;
}

template <class PortInterface>
std::int16_t MIDIPort<PortInterface>::DeviceCount() {
    listed_ = false;
    const std::size_t count = devices().size();
    return static_cast<std::int16_t>(std::min<std::size_t>(count, std::numeric_limits<std::int16_t>::max()));
}

template <class PortInterface>
std::string MIDIPort<PortInterface>::ProductName() {
    const auto& list = devices();
    if (deviceId_ >= 0 && static_cast<std::size_t>(deviceId_) < list.size()) return list[deviceId_];
    return extraDeviceName(deviceId_);
}

template <class PortInterface>
std::string MIDIPort<PortInterface>::extraDeviceName(std::int16_t) {
    return {};
}

template <class PortInterface>
bool MIDIPort<PortInterface>::selectedDevice(std::string& name, const char* kind) {
    const auto& list = devices();
    if (deviceId_ >= 0 && static_cast<std::size_t>(deviceId_) < list.size()) {
        name = list[deviceId_];
        return true;
    }
    raiseError(ErrorNoSuchDevice,
               std::string("There is no MIDI ") + kind + " device number " + std::to_string(deviceId_) + ".");
    return false;
}

template <class PortInterface>
void MIDIPort<PortInterface>::raiseError(std::int16_t code, const std::string& text) {
    if (onError) onError(code, text);
}

template <class PortInterface>
bool MIDIPort<PortInterface>::dropIfFailed(Connection* connection, const std::function<void()>& drop) {
    if (!connection) return false;
    const auto failure = connection->failure();
    if (!failure) return false;
    // Closed before the report, whose handler may run other handlers.
    drop();
    if (failure->code != 0) raiseError(*failure);
    return true;
}

template class MIDIPort<MidiInputPort>;
template class MIDIPort<MidiOutputPort>;

}  // namespace marovane
