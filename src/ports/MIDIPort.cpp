#include "MIDIPort.h"

#include <algorithm>
#include <limits>

namespace marovane {

const std::vector<std::string>& MIDIPort::devices() {
    if (!listed_) {
        devices_ = listDevices();
        listed_ = true;
    }
    return devices_;
}

std::int16_t MIDIPort::DeviceCount() {
    listed_ = false;
    const std::size_t count = devices().size();
    return static_cast<std::int16_t>(std::min<std::size_t>(count, std::numeric_limits<std::int16_t>::max()));
}

std::string MIDIPort::ProductName() {
    const auto& list = devices();
    if (deviceId_ >= 0 && static_cast<std::size_t>(deviceId_) < list.size()) return list[deviceId_];
    return extraDeviceName(deviceId_);
}

std::string MIDIPort::extraDeviceName(std::int16_t) { return {}; }

bool MIDIPort::selectedDevice(std::string& name, const char* kind) {
    const auto& list = devices();
    if (deviceId_ >= 0 && static_cast<std::size_t>(deviceId_) < list.size()) {
        name = list[deviceId_];
        return true;
    }
    raiseError(ErrorNoSuchDevice, std::string("There is no MIDI ") + kind + " device number " +
                                      std::to_string(deviceId_) + ".");
    return false;
}

void MIDIPort::raiseError(std::int16_t code, const std::string& text) {
    if (onError) onError(code, text);
}

}  // namespace marovane
