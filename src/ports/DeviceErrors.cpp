#include "DeviceErrors.h"

namespace marovane {

PortError noSuchDevice(const std::string& device, const char* direction) {
    return {ErrorNoSuchDevice, std::string("The MIDI ") + direction + " device \"" + device + "\" is no longer there."};
}

PortError deviceGone(const std::string& device, const char* direction) {
    return {ErrorDeviceGone, std::string("The MIDI ") + direction + " device \"" + device + "\" has gone, so the " +
                                 direction + " is closed. Choose a device in MIDI > Setup."};
}

}  // namespace marovane
